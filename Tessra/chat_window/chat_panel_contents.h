// What the chat window shows in its floating panels and its side pane. The conversation
// switcher, the topic list, the new-or-rename form, the key entry, a conversation's settings and
// the conversation side list belong to the navigation and settings windows; they fill these
// slots when the program starts, and the chat view asks them for a fresh content each time a
// panel opens. The settings window opens as from every other place (`showSettingsWindow`).
//
//   ChatPanelContents::shared().topicList = [](const ChatPanelContext& context) {
//     return new SessionTopicListView(context);
//   };
//
// An empty slot leaves its panel closed (logged). GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/storage/conversation.h"

namespace tessra {

class FloatingPanel;

// What a panel's content is given when it is made.
struct ChatPanelContext {
  // The hub of the chat window the panel opens over.
  ChatViewSignals& hub;
  ChatSource source;
  // The panel that hosts the content; `panel.close()` closes it.
  FloatingPanel& panel;
  // The conversation the window shows.
  std::string sessionID;
  // Makes another conversation the window's current one.
  std::function<void(const std::string& sessionID)> setSessionID;
  // The conversation the rename or settings panel edits; absent: the form creates one.
  std::optional<Conversation> editingConversation;
};

using ChatPanelFactory = std::function<QWidget*(const ChatPanelContext& context)>;

struct ChatPanelContents {
  // The searchable switcher (Ctrl+K).
  ChatPanelFactory conversationList;
  // The topics of the current conversation (Ctrl+T).
  ChatPanelFactory topicList;
  // Creates a conversation, or renames `editingConversation` (Ctrl+N, "rename").
  ChatPanelFactory newConversation;
  // The API key entry; its content closes the panel when done.
  ChatPanelFactory enterApiKey;
  // The settings of `editingConversation`.
  ChatPanelFactory conversationSettings;
  // The conversation list beside the chat.
  std::function<QWidget*(ChatViewSignals& hub, ChatSource source)> sidePane;

  static ChatPanelContents& shared();
};

}  // namespace tessra
