#include "Tessra/navigation/session_topic_list_floating_panel_view.h"

#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "Tessra/storage/chat_session_manager.h"

namespace tessra {

SessionTopicListFloatingPanelView::SessionTopicListFloatingPanelView(ChatViewSignals& hub,
                                                                     const std::string& sessionID,
                                                                     ChatSource source,
                                                                     BoolBinding isVisible,
                                                                     QWidget* parent)
    : QWidget(parent),
      m_hub(hub),
      m_source(source),
      m_topics(loadTopics(sessionID)),
      m_list(new SearchListView(std::move(isVisible), this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_list);
  setFocusProxy(m_list);

  QStringList titles;
  QStringList labels;
  titles.reserve(static_cast<qsizetype>(m_topics.size()));
  labels.reserve(static_cast<qsizetype>(m_topics.size()));
  for (const ChatMessageTopic& topic : m_topics) {
    titles.push_back(QString::fromStdString(topic.title));
    labels.push_back(QStringLiteral("%1 \u2022 %2").arg(topic.index).arg(titles.back()));
  }
  m_list->setRows(std::move(titles), -1, std::move(labels));
  connect(m_list, &SearchListView::submitted, this, [this](int row) {
    emit m_hub.messageUpdates(
        MessageUpdate::scrollToMessage(m_topics[static_cast<std::size_t>(row)].id));
  });

  QTimer::singleShot(kFocusDelayMs, m_list->searchField(),
                     [field = QPointer<QLineEdit>(m_list->searchField())] {
                       if (field) field->setFocus();
                     });
}

std::vector<ChatMessageTopic> SessionTopicListFloatingPanelView::loadTopics(
    const std::string& sessionID) {
  std::vector<ChatMessageTopic> topics;
  const ChatSession* session = ChatSessionManager::shared().session(sessionID);
  if (session == nullptr) return topics;
  const std::vector<ChatMessage>& messages = session->messages;
  topics.reserve(messages.size());
  for (std::size_t i = messages.size(); i-- > 0;) topics.push_back(topicOf(messages[i], i));
  return topics;
}

}  // namespace tessra
