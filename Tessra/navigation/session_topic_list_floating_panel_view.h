// The topic list (Ctrl+T): the questions of the conversation the chat window shows, newest
// first and numbered from the oldest, in a search list. Enter or a click scrolls the message page
// to that question and closes the panel.
//
//   new SessionTopicListFloatingPanelView(hub, chat.sessionID(), ChatSource::master, isVisible);
//
// Topics come from the store's cache of sessions only; the session file is not read. GUI thread
// only.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/navigation/search_list_view.h"
#include "Tessra/storage/chat_message.h"

namespace tessra {

class SessionTopicListFloatingPanelView final : public QWidget {
  Q_OBJECT

 public:
  // Fractions of the chat panel's width and height.
  static constexpr double kWidth = 0.8;
  static constexpr double kHeight = 0.6;
  // The field takes the keyboard this long after the panel appears.
  static constexpr int kFocusDelayMs = 200;

  SessionTopicListFloatingPanelView(ChatViewSignals& hub, const std::string& sessionID,
                                    ChatSource source, BoolBinding isVisible,
                                    QWidget* parent = nullptr);

  // The topics of the cached session, newest first; none when it is not cached.
  static std::vector<ChatMessageTopic> loadTopics(const std::string& sessionID);

  const std::vector<ChatMessageTopic>& topics() const { return m_topics; }
  SearchListView* searchList() const { return m_list; }
  ChatSource source() const { return m_source; }

 private:
  ChatViewSignals& m_hub;
  ChatSource m_source;
  std::vector<ChatMessageTopic> m_topics;
  SearchListView* m_list;
};

}  // namespace tessra
