#include "Tessra/navigation/conversation_list_model.h"

#include <QMimeData>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tessra {

namespace {

const QString kPlainText = QStringLiteral("text/plain");

// Which of `ranks` (distinct numbers) form a longest increasing subsequence: the rows that can
// stay where they are while every other one moves once.
std::vector<bool> longestIncreasing(const std::vector<int>& ranks) {
  std::vector<int> tails;                       // positions, by the length of the run they end
  std::vector<int> previous(ranks.size(), -1);  // the position before each in its run
  for (int i = 0; i < static_cast<int>(ranks.size()); ++i) {
    const auto at =
        std::lower_bound(tails.begin(), tails.end(), ranks[i],
                         [&](int position, int rank) { return ranks[position] < rank; });
    if (at != tails.begin()) previous[i] = *(at - 1);
    if (at == tails.end())
      tails.push_back(i);
    else
      *at = i;
  }
  std::vector<bool> stays(ranks.size(), false);
  for (int i = tails.empty() ? -1 : tails.back(); i >= 0; i = previous[i]) stays[i] = true;
  return stays;
}

std::unordered_set<std::string> idsOf(const std::vector<Conversation>& conversations) {
  std::unordered_set<std::string> ids;
  ids.reserve(conversations.size());
  for (const Conversation& conversation : conversations) ids.insert(conversation.id);
  return ids;
}

}  // namespace

ConversationListModel::ConversationListModel(ChatSessionManager& store, QObject* parent)
    : QAbstractListModel(parent), m_store(store) {
  if (const auto& list = m_store.conversationList()) m_conversations = list->conversations;
  connect(&m_store, &ChatSessionManager::conversationsChanged, this,
          &ConversationListModel::follow);
  connect(&m_store, &ChatSessionManager::conversationChanged, this, &ConversationListModel::follow);
}

std::optional<int> ConversationListModel::rowOf(const std::string& id) const {
  const auto found =
      std::find_if(m_conversations.begin(), m_conversations.end(),
                   [&](const Conversation& conversation) { return conversation.id == id; });
  if (found == m_conversations.end()) return std::nullopt;
  return static_cast<int>(found - m_conversations.begin());
}

bool ConversationListModel::moveConversation(const std::string& id, int gap) {
  const std::optional<int> from = rowOf(id);
  if (!from) return false;
  std::vector<std::string> ids;
  ids.reserve(m_conversations.size());
  for (const Conversation& conversation : m_conversations) ids.push_back(conversation.id);
  gap = std::clamp(gap, 0, rowCount());
  // Below itself, the gap is one row higher once the row has left its place.
  const int to = gap > *from ? gap - 1 : gap;
  ids.erase(ids.begin() + *from);
  ids.insert(ids.begin() + to, id);
  // Stored also when the order stays: the drop was the user's, and the store announces it.
  m_store.reorderConversations(ids);
  return true;
}

void ConversationListModel::follow() {
  const auto& list = m_store.conversationList();
  const std::vector<Conversation> empty;
  const std::vector<Conversation>& target = list ? list->conversations : empty;
  if (target == m_conversations) return;
  removeGone(target);
  moveKept(target);
  insertNew(target);
  updateChanged(target);
}

void ConversationListModel::removeGone(const std::vector<Conversation>& target) {
  const auto kept = idsOf(target);
  for (int last = rowCount() - 1; last >= 0; --last) {
    if (kept.contains(m_conversations[last].id)) continue;
    int first = last;
    while (first > 0 && !kept.contains(m_conversations[first - 1].id)) --first;
    beginRemoveRows({}, first, last);
    m_conversations.erase(m_conversations.begin() + first, m_conversations.begin() + last + 1);
    endRemoveRows();
    last = first;
  }
}

void ConversationListModel::moveKept(const std::vector<Conversation>& target) {
  // The target order of the rows there are (after the removals, every row is in the target).
  const auto present = idsOf(m_conversations);
  std::vector<std::string> order;
  std::unordered_map<std::string, int> rankOf;
  for (const Conversation& conversation : target) {
    if (!present.contains(conversation.id)) continue;
    rankOf.emplace(conversation.id, static_cast<int>(order.size()));
    order.push_back(conversation.id);
  }
  std::vector<int> ranks;
  ranks.reserve(m_conversations.size());
  for (const Conversation& conversation : m_conversations)
    ranks.push_back(rankOf.at(conversation.id));
  const std::vector<bool> rowStays = longestIncreasing(ranks);
  std::vector<bool> stays(order.size(), false);
  for (std::size_t row = 0; row < ranks.size(); ++row)
    stays[static_cast<std::size_t>(ranks[row])] = rowStays[row];

  // Each other row moves once, right below the row that comes before it in the target, in the
  // target's order: the rows that stay keep their order, and every moved row lands next to its
  // predecessor, so the whole ends in the target's order.
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    if (stays[rank]) continue;
    const int from = *rowOf(order[rank]);
    const int gap = rank == 0 ? 0 : *rowOf(order[rank - 1]) + 1;
    if (gap == from || gap == from + 1) continue;
    beginMoveRows({}, from, from, {}, gap);
    Conversation moved = std::move(m_conversations[static_cast<std::size_t>(from)]);
    m_conversations.erase(m_conversations.begin() + from);
    m_conversations.insert(m_conversations.begin() + (gap > from ? gap - 1 : gap),
                           std::move(moved));
    endMoveRows();
  }
}

void ConversationListModel::insertNew(const std::vector<Conversation>& target) {
  // The rows there are now stand in the target's order: what is missing goes into the gaps.
  const auto present = idsOf(m_conversations);
  for (int first = 0; first < static_cast<int>(target.size()); ++first) {
    if (present.contains(target[first].id)) continue;
    int last = first;
    while (last + 1 < static_cast<int>(target.size()) && !present.contains(target[last + 1].id))
      ++last;
    beginInsertRows({}, first, last);
    m_conversations.insert(m_conversations.begin() + first, target.begin() + first,
                           target.begin() + last + 1);
    endInsertRows();
    first = last;
  }
}

void ConversationListModel::updateChanged(const std::vector<Conversation>& target) {
  for (std::size_t row = 0; row < target.size(); ++row) {
    if (m_conversations[row] == target[row]) continue;
    m_conversations[row] = target[row];
    const QModelIndex changed = index(static_cast<int>(row));
    emit dataChanged(changed, changed);
  }
}

int ConversationListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_conversations.size());
}

QVariant ConversationListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Conversation& conversation = m_conversations[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(conversation.name);
    case IdRole:
      return QString::fromStdString(conversation.id);
    default:
      return {};
  }
}

Qt::ItemFlags ConversationListModel::flags(const QModelIndex& index) const {
  const Qt::ItemFlags base = Qt::ItemIsDropEnabled;
  return index.isValid() ? base | Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                         : base;
}

Qt::DropActions ConversationListModel::supportedDropActions() const { return Qt::MoveAction; }
Qt::DropActions ConversationListModel::supportedDragActions() const { return Qt::MoveAction; }
QStringList ConversationListModel::mimeTypes() const { return {kPlainText}; }

QMimeData* ConversationListModel::mimeData(const QModelIndexList& indexes) const {
  if (indexes.isEmpty() || !indexes[0].isValid()) return nullptr;
  auto* data = new QMimeData;
  data->setText(indexes[0].data(IdRole).toString());
  return data;
}

bool ConversationListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                            const QModelIndex&) const {
  return data != nullptr && data->hasText();
}

bool ConversationListModel::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                         const QModelIndex& parent) {
  if (data == nullptr || !data->hasText()) return false;
  // A drop on a row goes into the gap above it; one on the empty space below, after the last.
  const int gap = parent.isValid() ? parent.row() : (row < 0 ? rowCount() : row);
  return moveConversation(data->text().toStdString(), gap);
}

}  // namespace tessra
