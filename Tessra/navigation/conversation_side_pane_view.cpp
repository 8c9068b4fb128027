#include "Tessra/navigation/conversation_side_pane_view.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "Tessra/navigation/channel_row_delegate.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/constants.h"
#include "Tessra/ui_foundation/confirm.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

const QString kPlainText = QStringLiteral("text/plain");

// A right click only opens the conversation menu: the press that comes before the menu selects
// nothing, so it never switches the chat (nor stops its answer).
class ConversationListView final : public QListView {
 public:
  using QListView::QListView;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) {
      event->accept();
      return;
    }
    QListView::mousePressEvent(event);
  }
};

}  // namespace

// The names of the shown conversations; drags carry a conversation's id as plain text.
class ConversationSidePaneView::Model final : public QAbstractListModel {
 public:
  using DropHandler = std::function<bool(const QString& text, int row)>;

  Model(const std::vector<Conversation>& conversations, DropHandler drop, QObject* parent)
      : QAbstractListModel(parent), m_conversations(conversations), m_drop(std::move(drop)) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_conversations.size());
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return QString::fromStdString(m_conversations[static_cast<std::size_t>(index.row())].name);
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    const Qt::ItemFlags base = Qt::ItemIsDropEnabled;
    return index.isValid() ? base | Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                           : base;
  }

  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
  QStringList mimeTypes() const override { return {kPlainText}; }

  QMimeData* mimeData(const QModelIndexList& indexes) const override {
    if (indexes.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setText(
        QString::fromStdString(m_conversations[static_cast<std::size_t>(indexes[0].row())].id));
    return data;
  }

  bool canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                       const QModelIndex&) const override {
    return data != nullptr && data->hasText();
  }

  bool dropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                    const QModelIndex& parent) override {
    if (data == nullptr || !data->hasText()) return false;
    // A drop on a row goes into the gap above it; one on the empty space below, after the last.
    const int gap = parent.isValid() ? parent.row() : (row < 0 ? rowCount({}) : row);
    return m_drop(data->text(), gap);
  }

  void reset(const std::function<void()>& change) {
    beginResetModel();
    change();
    endResetModel();
  }
  bool beginMove(int from, int gap) {
    return beginMoveRows(QModelIndex(), from, from, QModelIndex(), gap);
  }
  void endMove() { endMoveRows(); }

 private:
  const std::vector<Conversation>& m_conversations;
  DropHandler m_drop;
};

ConversationSidePaneView::ConversationSidePaneView(ChatViewSignals& hub, QWidget* parent)
    : QWidget(parent), m_signals(hub) {
  m_model = new Model(
      m_allConversations, [this](const QString& text, int row) { return acceptDrop(text, row); },
      this);

  m_list = new ConversationListView(this);
  m_list->setModel(m_model);
  m_list->setItemDelegate(new ChannelRowDelegate(palette::white(), m_list));
  m_list->setUniformItemSizes(true);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_list->setFrameShape(QFrame::NoFrame);
  m_list->setDragEnabled(true);
  m_list->setAcceptDrops(true);
  m_list->setDropIndicatorShown(true);
  m_list->setDragDropMode(QAbstractItemView::DragDrop);
  m_list->setDefaultDropAction(Qt::MoveAction);
  m_list->setMouseTracking(true);
  m_list->viewport()->setAttribute(Qt::WA_Hover);
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  QFont rowFont = m_list->font();
  rowFont.setPixelSize(13);
  m_list->setFont(rowFont);
  connect(m_list, &QWidget::customContextMenuRequested, this,
          &ConversationSidePaneView::openContextMenu);
  connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ConversationSidePaneView::selectionChanged);

  setAutoFillBackground(true);
  QPalette colors = palette();
  colors.setColor(QPalette::Window, palette::tertiaryBackground());
  colors.setColor(QPalette::Base, palette::tertiaryBackground());
  setPalette(colors);
  m_list->setPalette(colors);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_list);

  connect(&m_signals, &ChatViewSignals::setCurrentSessionID, this,
          &ConversationSidePaneView::followChat);
  auto& center = platform::NotificationCenter::defaultCenter();
  m_listObserver =
      center.addObserver(std::string(notification_names::kConversationListDidChanged),
                         [this](const platform::Notification&) { loadConversations(); });
  // A renamed conversation must not be shown, or stored back, with its old name.
  m_settingObserver =
      center.addObserver(std::string(notification_names::kConversationSettingDidChanged),
                         [this](const platform::Notification&) { loadConversations(); });

  const auto& list = ChatSessionManager::shared().conversationList;
  m_sessionID = list ? list->latestSessionID.value_or(std::string()) : std::string();
  loadConversations();
}

ConversationSidePaneView::~ConversationSidePaneView() = default;

void ConversationSidePaneView::loadConversations() {
  const auto& list = ChatSessionManager::shared().conversationList;
  // An unchanged list (the echo of our own reorder) costs one comparison and no copy.
  if (list ? list->conversations == m_allConversations : m_allConversations.empty()) return;
  m_model->reset(
      [&] { m_allConversations = list ? list->conversations : std::vector<Conversation>{}; });
  selectCurrentSession();
}

void ConversationSidePaneView::selectCurrentSession() {
  const auto& list = ChatSessionManager::shared().conversationList;
  if (m_sessionID.empty() && list && list->latestSessionID) m_sessionID = *list->latestSessionID;
  if (m_allConversations.empty()) return;
  const auto found = std::find_if(m_allConversations.begin(), m_allConversations.end(),
                                  [&](const Conversation& c) { return c.id == m_sessionID; });
  const int row =
      found == m_allConversations.end() ? 0 : static_cast<int>(found - m_allConversations.begin());
  {
    const QScopedValueRollback guard(m_selecting, true);
    m_list->selectionModel()->select(m_model->index(row), QItemSelectionModel::ClearAndSelect);
    m_list->selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::NoUpdate);
  }
  // The chat's conversation is gone: the chat follows the list to its first row.
  const std::string& shown = m_allConversations[static_cast<std::size_t>(row)].id;
  if (shown != m_sessionID) {
    m_sessionID = shown;
    emit m_signals.setCurrentSessionID(m_sessionID);
  }
}

void ConversationSidePaneView::selectionChanged() {
  if (m_selecting) return;
  const QModelIndexList selected = m_list->selectionModel()->selectedRows();
  if (selected.isEmpty()) {
    // A Ctrl+click can take the only selection away; the current row comes back.
    selectCurrentSession();
    return;
  }
  const std::string& id = m_allConversations[static_cast<std::size_t>(selected[0].row())].id;
  if (id == m_sessionID) return;
  m_sessionID = id;
  emit m_signals.setCurrentSessionID(m_sessionID);
}

void ConversationSidePaneView::followChat(const std::string& sessionID) {
  if (sessionID == m_sessionID) return;
  m_sessionID = sessionID;
  selectCurrentSession();
}

bool ConversationSidePaneView::acceptDrop(const QString& text, int row) {
  const std::string id = text.toStdString();
  const auto found = std::find_if(m_allConversations.begin(), m_allConversations.end(),
                                  [&](const Conversation& c) { return c.id == id; });
  if (found == m_allConversations.end()) return false;
  const int from = static_cast<int>(found - m_allConversations.begin());
  const int count = static_cast<int>(m_allConversations.size());
  row = std::clamp(row, 0, count);
  // Dropped into its own gap (above or just below itself), the order stays.
  if (row != from && row != from + 1 && m_model->beginMove(from, row)) {
    const int to = row > from ? row - 1 : row;
    Conversation moved = std::move(m_allConversations[static_cast<std::size_t>(from)]);
    m_allConversations.erase(m_allConversations.begin() + from);
    m_allConversations.insert(m_allConversations.begin() + to, std::move(moved));
    m_model->endMove();
  }
  ChatSessionManager::shared().replaceConversations(m_allConversations);
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kConversationListDidChanged));
  return true;
}

void ConversationSidePaneView::openContextMenu(const QPoint& position) {
  const QModelIndex index = m_list->indexAt(position);
  if (!index.isValid()) return;
  m_contextMenuConversation = m_allConversations[static_cast<std::size_t>(index.row())];
  delete m_menu;
  m_menu = new QMenu(menuText(QString::fromStdString(m_contextMenuConversation->name)), this);
  m_menu->setAttribute(Qt::WA_DeleteOnClose);
  m_menu->addAction(m_menu->title())->setEnabled(false);
  m_menu->addSeparator();
  m_menu->addAction(QIcon::fromTheme(QStringLiteral("document-edit")),
                    LocalizedText::General::rename(), this,
                    &ConversationSidePaneView::renameConversation);
  m_menu->addAction(QIcon::fromTheme(QStringLiteral("document-properties")),
                    LocalizedText::General::settings(), this,
                    &ConversationSidePaneView::settingsForConversation);
  QAction* remove = m_menu->addAction(QIcon::fromTheme(QStringLiteral("edit-delete")),
                                      LocalizedText::General::deleteAction(), this,
                                      &ConversationSidePaneView::deleteConversation);
  remove->setEnabled(m_allConversations.size() >= 2);
  m_menu->popup(m_list->viewport()->mapToGlobal(position));
}

void ConversationSidePaneView::renameConversation() {
  if (m_contextMenuConversation) emit m_signals.editChatSession(*m_contextMenuConversation);
}

void ConversationSidePaneView::settingsForConversation() {
  if (m_contextMenuConversation) emit m_signals.editChatSettings(*m_contextMenuConversation);
}

void ConversationSidePaneView::deleteConversation() {
  if (!m_contextMenuConversation || m_allConversations.size() < 2) return;
  delete m_sheet;
  m_sheet = new QMessageBox(QMessageBox::Warning, LocalizedText::Conversation::deletionTitle(),
                            LocalizedText::Conversation::deletionTitle(), QMessageBox::NoButton,
                            window());
  m_sheet->setInformativeText(LocalizedText::Conversation::deletionDescription());
  QPushButton* confirm =
      m_sheet->addButton(LocalizedText::General::deleteAction(), QMessageBox::DestructiveRole);
  QPushButton* cancel =
      m_sheet->addButton(LocalizedText::General::cancel(), QMessageBox::RejectRole);
  // Return and Escape both keep the conversation: only a deliberate choice of Delete deletes.
  m_sheet->setDefaultButton(cancel);
  m_sheet->setEscapeButton(cancel);
  m_sheet->setWindowModality(Qt::WindowModal);
  m_sheet->setAttribute(Qt::WA_DeleteOnClose);
  widenToItsText(*m_sheet);
  // The conversation as it was when the question was asked.
  const Conversation asked = *m_contextMenuConversation;
  connect(m_sheet, &QMessageBox::buttonClicked, this,
          [this, confirm, asked](QAbstractButton* button) {
            if (button != confirm) return;
            ChatSessionManager::shared().deleteConversation(asked);
            platform::NotificationCenter::defaultCenter().post(
                std::string(notification_names::kConversationListDidChanged));
            m_contextMenuConversation.reset();
          });
  m_sheet->open();
}

}  // namespace tessra
