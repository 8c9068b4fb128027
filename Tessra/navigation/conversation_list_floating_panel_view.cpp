#include "Tessra/navigation/conversation_list_floating_panel_view.h"

#include <QVBoxLayout>

#include "Tessra/storage/chat_session_manager.h"

namespace tessra {

ConversationListFloatingPanelView::ConversationListFloatingPanelView(
    std::string sessionID, std::function<void(const std::string&)> setSessionID,
    BoolBinding isVisible, QWidget* parent)
    : QWidget(parent),
      m_setSessionID(std::move(setSessionID)),
      m_list(new SearchListView(std::move(isVisible), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_list);
  setFocusProxy(m_list);
  connect(m_list, &SearchListView::submitted, this,
          [this](int row) { m_setSessionID(m_ids[static_cast<std::size_t>(row)]); });
  loadConversations(sessionID);
  m_list->searchField()->setFocus();
}

void ConversationListFloatingPanelView::loadConversations(const std::string& sessionID) {
  const auto& list = ChatSessionManager::shared().conversationList;
  QStringList names;
  int current = -1;
  if (list) {
    m_ids.reserve(list->conversations.size());
    names.reserve(static_cast<qsizetype>(list->conversations.size()));
    for (const Conversation& conversation : list->conversations) {
      if (conversation.id == sessionID) current = static_cast<int>(m_ids.size());
      m_ids.push_back(conversation.id);
      names.push_back(QString::fromStdString(conversation.name));
    }
  }
  m_list->setRows(std::move(names), current);
}

}  // namespace tessra
