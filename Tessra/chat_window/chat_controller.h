// The working half of a chat window, apart from its layout: which conversation is current, the
// sending of questions and the answer under way (`AnswerTask`), stopping, deleting and clearing
// messages, the context break, and what the window tells about the conversation's file. It works
// over the conversation store, the chat engine, the settings and the window's hub, without any
// widget: the chat view shows what it says and hands it what the user does.
//
//   ChatController controller(hub, settings);
//   connect(&controller, &ChatController::keyRequired, this, [this] { openKeyEntry(); });
//   controller.openLatestConversation();
//   connect(&controller, &ChatController::questionWritten, this, [this] { clearPrompt(); });
//   controller.send(prompt->text(), pending->value());
//
// Sending: while an answer is produced, while the question sent last is not written yet, or with
// a blank question and no attachment, nothing is sent; before the keyring has answered whether a
// key is stored the send waits for it (`readyToSend` asks for it again); with no key,
// `keyRequired`. A send never goes into a conversation the store does not hold: into one whose
// file cannot be read it is refused, and the notice says so. A question taken shows as sent only
// once its conversation's file holds it: then the page shows it and `questionWritten` tells the
// prompt to give it up, so a crash never loses a question the window showed as sent. Delete and
// clear stop the answer first; the context break cannot be toggled while an answer streams.
//
// The notice also tells when the conversation's file cannot be read and when it could not be
// saved (the answer then stays on the page to copy). The session's model is the one the next
// request uses: the conversation's own, or the default model, followed as it changes.
//
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>
#include <string>

#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/user_settings.h"

namespace tessra {

class AnswerTask;

class ChatController final : public QObject {
  Q_OBJECT

 public:
  // What the window tells about the conversation's file: a sentence and the reason under it.
  struct Notice {
    QString text;
    QString reason;
    bool operator==(const Notice&) const = default;
  };

  // `settings` holds the API key the controller sends with.
  explicit ChatController(ChatViewSignals& hub, UserSettings& settings = UserSettings::shared(),
                          QObject* parent = nullptr);
  ~ChatController() override;

  // The current conversation. Another one is applied: the answer under way stops, the list
  // records it as the latest, and the hub tells the window's other views. An id the list does
  // not hold is refused (logged): opening it would make the store invent an empty conversation.
  const std::string& sessionID() const { return m_sessionID; }
  void setSessionID(const std::string& sessionID);
  // Loads the store and opens its latest conversation, or its first when the latest is gone.
  void openLatestConversation();

  const QString& sessionName() const { return m_sessionName; }
  ChatGPTModels sessionModel() const { return m_sessionModel; }
  bool sessionIsEmpty() const { return m_sessionIsEmpty; }
  // What the message page shows: whether the conversation has no messages.
  void setSessionIsEmpty(bool isEmpty) { m_sessionIsEmpty = isEmpty; }
  const std::optional<Notice>& notice() const { return m_notice; }

  bool busy() const { return m_busy; }
  // Whether a send waits for the keyring to say whether a key is stored (`readyToSend`).
  bool sendWaitsForKeyring() const { return m_sendWaitsForKeyring; }
  // The answer being produced, while there is one.
  AnswerTask* messageTask() const;

  // Sends `text` with `attachment` as a question into the current conversation. True when the
  // question was taken: the caller keeps it in its prompt until `questionWritten`.
  bool send(const QString& text, const std::optional<ChatAttachment>& attachment);
  void stopGenerating();
  void deleteMessage(const std::string& id);
  void clearMessages();
  void toggleEndContext();
  // Sends the current conversation on the hub's `editChatSettings`.
  void editCurrentSettings();

 signals:
  void sessionIDChanged(const std::string& sessionID);
  // The name or the model of the current conversation changed.
  void sessionDetailsChanged();
  void busyChanged(bool busy);
  void noticeChanged();
  // A question waits for an API key: the key entry should open.
  void keyRequired();
  // The keyring has answered after a send waited for it: the send may be asked again.
  void readyToSend();
  // The question taken last is in its conversation's file, and on the page while its
  // conversation is shown: the prompt gives up its text and drops its attachment.
  void questionWritten();

 private:
  void applySession(const std::string& sessionID);
  void refreshSessionDetails();
  void updateNotice();
  // Makes sure the conversation is in the list and its session is cached; false otherwise.
  bool holdsConversation(const std::string& id);
  void startSend(const QString& text, std::optional<ChatAttachment> attachment);
  void showWrittenQuestion();
  void answerEnded();
  void setBusy(bool busy);
  // Tells the window's views on the hub.
  void publish(const MessageUpdate& update);

  QPointer<ChatViewSignals> m_signals;
  UserSettings& m_settings;

  std::string m_sessionID;
  QString m_sessionName;
  ChatGPTModels m_sessionModel;
  bool m_sessionIsEmpty = false;
  std::optional<Notice> m_notice;
  bool m_busy = false;
  bool m_sendWaitsForKeyring = false;
  // The question taken last is not in its conversation's file yet.
  bool m_questionUnwritten = false;
  // A question was refused in the current conversation, whose file cannot be read.
  bool m_sendRefused = false;
  QPointer<AnswerTask> m_messageTask;

  QMetaObject::Connection m_keyringConnection;
};

}  // namespace tessra
