// The store's conversations as a list model, for the side list and the switcher: one row per
// conversation in the store's order, its name as the display text and its id under `IdRole`.
//
//   auto* model = new ConversationListModel(ChatSessionManager::shared(), parent);
//   view->setModel(model);
//   model->moveConversation(id, gap);  // stored; the rows follow the store
//
// It follows the store's `conversationsChanged` and `conversationChanged` with the smallest
// changes that make its rows the store's again (rows removed, moved, inserted, then changed
// entries), so a view keeps its selection, current row and scroll position across a create,
// delete, reorder or rename elsewhere. Drags carry a conversation's id as plain text; a drop
// moves the conversation into the gap above the row dropped on. GUI thread only.
#pragma once

#include <QAbstractListModel>

#include <optional>
#include <string>
#include <vector>

#include "Tessra/storage/chat_session_manager.h"

namespace tessra {

class ConversationListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  // Above the roles of the row delegate (Tessra/navigation/channel_row_delegate.h).
  enum Role { IdRole = Qt::UserRole + 16 };

  explicit ConversationListModel(ChatSessionManager& store, QObject* parent = nullptr);

  // The rows, in the store's order.
  const std::vector<Conversation>& conversations() const { return m_conversations; }
  // The row of the conversation `id`.
  std::optional<int> rowOf(const std::string& id) const;
  // Moves the conversation `id` into the gap above `gap` (`gap` = the number of rows: below the
  // last) and stores the order. False, with nothing changed, for an id that is no row's.
  bool moveConversation(const std::string& id, int gap);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDropActions() const override;
  Qt::DropActions supportedDragActions() const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 private:
  // Makes the rows the store's list again.
  void follow();
  void removeGone(const std::vector<Conversation>& target);
  void moveKept(const std::vector<Conversation>& target);
  void insertNew(const std::vector<Conversation>& target);
  void updateChanged(const std::vector<Conversation>& target);

  ChatSessionManager& m_store;
  std::vector<Conversation> m_conversations;
};

}  // namespace tessra
