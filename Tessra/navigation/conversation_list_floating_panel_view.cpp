#include "Tessra/navigation/conversation_list_floating_panel_view.h"

#include <QVBoxLayout>

#include "Tessra/navigation/conversation_list_model.h"
#include "Tessra/storage/chat_session_manager.h"

namespace tessra {

ConversationListFloatingPanelView::ConversationListFloatingPanelView(
    std::string sessionID, std::function<void(const std::string&)> setSessionID,
    BoolBinding isVisible, QWidget* parent)
    : QWidget(parent),
      m_setSessionID(std::move(setSessionID)),
      m_sessionID(std::move(sessionID)),
      m_model(new ConversationListModel(ChatSessionManager::shared(), this)),
      m_list(new SearchListView(std::move(isVisible), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_list);
  setFocusProxy(m_list);
  connect(m_list, &SearchListView::submitted, this, [this](int row) {
    m_setSessionID(m_model->conversations()[static_cast<std::size_t>(row)].id);
  });
  // The search list filters texts of its own: it is given the rows anew whenever they change.
  for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(m_model, changed, this, &ConversationListFloatingPanelView::showRows);
  connect(m_model, &QAbstractItemModel::rowsMoved, this,
          &ConversationListFloatingPanelView::showRows);
  connect(m_model, &QAbstractItemModel::dataChanged, this,
          &ConversationListFloatingPanelView::showRows);
  showRows();
  m_list->searchField()->setFocus();
}

void ConversationListFloatingPanelView::showRows() {
  QStringList names;
  names.reserve(m_model->rowCount());
  for (const Conversation& conversation : m_model->conversations())
    names.push_back(QString::fromStdString(conversation.name));
  m_list->setRows(std::move(names), m_model->rowOf(m_sessionID).value_or(-1));
}

}  // namespace tessra
