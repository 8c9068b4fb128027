// The signal hub of one chat window: the views of the window (chat view, message page, search
// bar, floating panels, conversation and topic lists) do not hold each other; each sends on the
// hub or listens to it.
//
//   ChatViewSignals hub;
//   connect(&hub, &ChatViewSignals::messageUpdates, page, &MessagesWebView::apply);
//   emit hub.messageUpdates(MessageUpdate::appendMessage(message));
//   hub.setOverlayCount(hub.overlayCount() + 1);  // a panel opened over the window
//
// Signals keep no last value: a listener connected late misses what was sent before. The hub's
// only state is the number of floating panels open over the window. GUI thread only.
#pragma once

#include <QObject>

#include <string>

#include "Tessra/chat_window/message_update.h"
#include "Tessra/storage/conversation.h"

namespace tessra {

class ChatViewSignals final : public QObject {
  Q_OBJECT
  Q_PROPERTY(int overlayCount READ overlayCount WRITE setOverlayCount NOTIFY overlayCountChanged)

 public:
  using MessageUpdate = tessra::MessageUpdate;

  explicit ChatViewSignals(QObject* parent = nullptr);

  // Floating panels currently shown over this chat window.
  int overlayCount() const { return m_overlayCount; }
  void setOverlayCount(int count);

 signals:
  void overlayCountChanged(int count);
  // Make the conversation with this id the current one.
  void setCurrentSessionID(const std::string& sessionID);
  // Open the panel that renames this conversation.
  void editChatSession(const tessra::Conversation& conversation);
  // Open the settings panel of this conversation.
  void editChatSettings(const tessra::Conversation& conversation);
  // A change the message page of this window must apply.
  void messageUpdates(const tessra::MessageUpdate& update);

 private:
  int m_overlayCount = 0;
};

}  // namespace tessra
