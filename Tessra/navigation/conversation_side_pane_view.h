// The column of conversation names beside the chat. A click switches the chat to that
// conversation, a drag reorders the list, a right click only offers Rename, Settings and Delete;
// Delete asks first, with Cancel as what Return and Escape answer.
//
//   auto* side = new ConversationSidePaneView(hub, parent);
//
// Its rows are the store's conversations (ConversationListModel), following every change the store
// announces; when the chat's conversation leaves the list, the first row is selected and sent to
// the chat. It follows the chat on the
// hub's `setCurrentSessionID` and sends there only what the user chose, or the first row when
// the chat's conversation is no longer listed; a selection it makes itself sends nothing, so the
// two never echo each other. Once it has rows, one row is always selected. Drags carry the
// conversation's id as plain text; a drop on a row lands in the gap above it. GUI thread only.
#pragma once

#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/storage/conversation.h"

namespace tessra {

class ConversationListModel;

class ConversationSidePaneView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 36;

  explicit ConversationSidePaneView(ChatViewSignals& hub, QWidget* parent = nullptr);
  ~ConversationSidePaneView() override;

  const std::string& sessionID() const { return m_sessionID; }
  // The rows, in the store's order.
  const std::vector<Conversation>& conversations() const;
  QListView* listView() const { return m_list; }
  // The conversation menu or the deletion question while it is shown, else null.
  QMenu* contextMenu() const { return m_menu; }
  QMessageBox* deletionSheet() const { return m_sheet; }

  // Moves the conversation whose id is `text` into the gap above `row` (`row` = the number of
  // rows: below the last) and stores the order. False, with nothing changed, for a text that is
  // no listed conversation's id.
  bool acceptDrop(const QString& text, int row);
  // Opens the conversation menu for the row at `position` (in the list's viewport); nothing
  // below the last row.
  void openContextMenu(const QPoint& position);

 private:
  void rowsChanged();
  void selectCurrentSession();
  void selectionChanged();
  void followChat(const std::string& sessionID);
  void renameConversation();
  void settingsForConversation();
  void deleteConversation();

  ChatViewSignals& m_signals;
  ConversationListModel* m_model;
  std::string m_sessionID;
  std::optional<Conversation> m_contextMenuConversation;
  // True while the list selects a row itself, or while rows go or move: that selection is no
  // user's choice.
  bool m_selecting = false;
  bool m_modelChanging = false;
  QListView* m_list = nullptr;
  QPointer<QMenu> m_menu;
  QPointer<QMessageBox> m_sheet;
};

}  // namespace tessra
