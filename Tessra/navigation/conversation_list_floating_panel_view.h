// The conversation switcher (Ctrl+K): every conversation's name in a search list; Enter or a
// click makes the chosen one the chat window's conversation and closes the panel.
//
//   new ConversationListFloatingPanelView(chat.sessionID(), setSessionID, isVisible);
//
// Its rows are the store's conversations (ConversationListModel): a conversation created, renamed
// or deleted while the panel is open shows at once, and the search stays. The conversation the
// chat shows is marked. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "Tessra/navigation/search_list_view.h"

namespace tessra {

class ConversationListModel;

class ConversationListFloatingPanelView final : public QWidget {
  Q_OBJECT

 public:
  // Width and height of the panel over the chat window.
  static constexpr double kWidth = 340;
  static constexpr double kHeight = 400;

  ConversationListFloatingPanelView(std::string sessionID,
                                    std::function<void(const std::string&)> setSessionID,
                                    BoolBinding isVisible, QWidget* parent = nullptr);

  SearchListView* searchList() const { return m_list; }

 private:
  void showRows();

  std::function<void(const std::string&)> m_setSessionID;
  std::string m_sessionID;
  ConversationListModel* m_model;
  SearchListView* m_list;
};

}  // namespace tessra
