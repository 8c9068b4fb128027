#include "Tessra/chat_window/chat_controller.h"

#include <algorithm>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/chat_window/answer_task.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/chat_session_manager.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

ChatSessionManager& store() { return ChatSessionManager::shared(); }

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

// The message as the store holds it now; nothing once it or its conversation is gone.
std::optional<ChatMessage> storedMessage(const std::string& sessionID,
                                         const std::string& messageID) {
  const ChatSession* session = store().session(sessionID);
  if (session == nullptr) return std::nullopt;
  const auto found = std::ranges::find(session->messages, messageID, &ChatMessage::id);
  if (found == session->messages.end()) return std::nullopt;
  return *found;
}

}  // namespace

ChatController::ChatController(ChatViewSignals& hub, UserSettings& settings, QObject* parent)
    : QObject(parent),
      m_signals(&hub),
      m_settings(settings),
      m_sessionModel(settings.value(setting::openAiModel)) {
  connect(m_signals, &ChatViewSignals::setCurrentSessionID, this, &ChatController::setSessionID);
  // The model of the next request, also for a conversation that follows the default.
  m_settings.onValueChanged(setting::openAiModel, this, &ChatController::refreshSessionDetails);

  // A rename or new settings of the conversation shown change its header and model label.
  connect(&store(), &ChatSessionManager::conversationChanged, this, [this](const std::string& id) {
    if (id == m_sessionID) refreshSessionDetails();
  });

  // Every new state of a message of the shown conversation, whoever made it: an answer streaming
  // in, its files, a context break. The page takes an edit of a message it does not show yet for
  // nothing, so the question's own arrives before its append without harm.
  connect(&store(), &ChatSessionManager::messageChanged, this,
          [this](const std::string& id, const ChatMessage& message) {
            if (id == m_sessionID) publish(MessageUpdate::editMessage(message));
          });

  // The notice tells of the shown conversation's file.
  connect(&store(), &ChatSessionManager::sessionFileStateChanged, this,
          [this](const std::string& id) {
            if (id == m_sessionID) updateNotice();
          });
}

ChatController::~ChatController() {
  if (m_messageTask) m_messageTask->stop();
}

// The current conversation -------------------------------------------------------------------

void ChatController::setSessionID(const std::string& sessionID) {
  if (sessionID == m_sessionID) return;
  if (!store().conversation(sessionID)) {
    platform::logError("There is no conversation \"{}\" to show", sessionID);
    return;
  }
  m_sessionID = sessionID;
  applySession(sessionID);
}

void ChatController::applySession(const std::string& sessionID) {
  refreshSessionDetails();
  stopGenerating();
  store().setLatestSessionID(sessionID);
  m_sendRefused = false;
  updateNotice();
  emit sessionIDChanged(sessionID);
  if (m_signals) emit m_signals->setCurrentSessionID(sessionID);
}

void ChatController::openLatestConversation() {
  store().load();
  const auto& list = store().conversationList();
  if (!list || list->conversations.empty()) return;
  // A latest id that names no conversation any more (deleted elsewhere) falls back to the
  // first conversation, so the window never shows or sends into one the store does not hold.
  const auto& latest = list->latestSessionID;
  setSessionID(latest && store().conversation(*latest) ? *latest : list->conversations.front().id);
}

void ChatController::refreshSessionDetails() {
  const Conversation* conversation = store().conversation(m_sessionID);
  if (!conversation) return;
  m_sessionName = QString::fromStdString(conversation->name);
  m_sessionModel = conversation->config && conversation->config->model
                       ? *conversation->config->model
                       : m_settings.value(setting::openAiModel);
  emit sessionDetailsChanged();
}

void ChatController::updateNotice() {
  std::optional<Notice> notice;
  if (const auto unreadable = store().readError(m_sessionID)) {
    notice = Notice{m_sendRefused ? LocalizedText::Chat::questionRefused()
                                  : LocalizedText::Chat::conversationUnreadable(),
                    QString::fromStdString(*unreadable)};
  } else if (const auto unsaved = store().saveError(m_sessionID)) {
    notice = Notice{LocalizedText::Chat::conversationNotSaved(), QString::fromStdString(*unsaved)};
  }
  if (notice == m_notice) return;
  m_notice = std::move(notice);
  emit noticeChanged();
}

bool ChatController::holdsConversation(const std::string& id) {
  if (id.empty() || !store().conversation(id)) return false;
  if (store().session(id) != nullptr) return true;
  try {
    store().loadSession(id, false);
  } catch (const std::exception& error) {
    platform::logError("Cannot open the conversation to send into: {}", error.what());
    return false;
  }
  return store().session(id) != nullptr;
}

void ChatController::editCurrentSettings() {
  const Conversation* conversation = store().conversation(m_sessionID);
  if (conversation && m_signals) emit m_signals->editChatSettings(*conversation);
}

// Sending ------------------------------------------------------------------------------------

AnswerTask* ChatController::messageTask() const { return m_messageTask; }

bool ChatController::send(const QString& text, const std::optional<ChatAttachment>& attachment) {
  if (m_busy || m_sendWaitsForKeyring || m_questionUnwritten) return false;
  if (isBlank(text) && !attachment) return false;
  if (!holdsConversation(m_sessionID)) {
    platform::logError("Not sent: the store holds no conversation \"{}\"", m_sessionID);
    m_sendRefused = true;
    updateNotice();
    return false;
  }
  if (!m_settings.loaded()) {
    // Until the keyring has answered, "no key" is not known yet: the send waits for the answer
    // instead of showing the key form to a user whose key is stored.
    m_sendWaitsForKeyring = true;
    m_keyringConnection = connect(&m_settings, &UserSettings::loadedChanged, this, [this] {
      disconnect(m_keyringConnection);
      m_sendWaitsForKeyring = false;
      emit readyToSend();
    });
    return false;
  }
  if (m_settings.openAiKey().empty()) {
    emit keyRequired();
    return false;
  }
  startSend(text, attachment);
  return true;
}

void ChatController::startSend(const QString& text, std::optional<ChatAttachment> attachment) {
  setBusy(true);
  m_sessionIsEmpty = false;
  m_questionUnwritten = true;
  auto* task = new AnswerTask(m_sessionID, AnswerTask::makeQuestion(text.toStdString()), this);
  m_messageTask = task;
  connect(task, &AnswerTask::questionWritten, this, &ChatController::showWrittenQuestion);
  connect(task, &AnswerTask::finished, this, &ChatController::answerEnded);
  task->start(ChatGPTAPI::shared(), m_settings.openAiKey(), m_settings.value(setting::openAiModel),
              std::move(attachment));
}

void ChatController::showWrittenQuestion() {
  auto* task = qobject_cast<AnswerTask*>(sender());
  if (!task) return;
  m_questionUnwritten = false;
  // As the store holds it now (stopped, or with its files); a question deleted meanwhile, or one
  // of a conversation no longer shown, has no place on the page.
  if (task->sessionID() == m_sessionID) {
    if (auto question = storedMessage(m_sessionID, task->messageID()))
      publish(MessageUpdate::appendMessage(*question));
  }
  emit questionWritten();
}

void ChatController::answerEnded() {
  auto* task = qobject_cast<AnswerTask*>(sender());
  if (!task) return;
  if (task == m_messageTask) setBusy(false);
  // A question stopped before it was written still shows as sent once it is.
  if (task->isQuestionWritten()) {
    task->deleteLater();
  } else {
    connect(task, &AnswerTask::questionWritten, task, &QObject::deleteLater);
  }
}

void ChatController::stopGenerating() {
  if (m_messageTask) m_messageTask->stop();
  setBusy(false);
}

void ChatController::setBusy(bool busy) {
  if (busy == m_busy) return;
  m_busy = busy;
  emit busyChanged(busy);
}

void ChatController::publish(const MessageUpdate& update) {
  if (m_signals) emit m_signals->messageUpdates(update);
}

// Deleting and the context break -------------------------------------------------------------

void ChatController::deleteMessage(const std::string& id) {
  stopGenerating();
  const std::optional<std::size_t> previous = store().previousMessageIndex(id, m_sessionID);
  store().deleteMessage(id, m_sessionID);
  publish(MessageUpdate::deleteMessage(id));
  if (!previous) return;
  const ChatSession* session = store().session(m_sessionID);
  if (session == nullptr || *previous >= session->messages.size()) return;
  publish(MessageUpdate::editMessage(session->messages[*previous]));
}

void ChatController::clearMessages() {
  stopGenerating();
  store().clearMessages(m_sessionID);
  publish(MessageUpdate::clearMessages());
  m_sessionIsEmpty = true;
}

void ChatController::toggleEndContext() {
  // The next state of a streaming answer replaces the whole message and would undo the mark.
  if (m_busy) return;
  std::optional<ChatMessage> last = store().lastMessage(m_sessionID);
  if (!last) return;
  last->endContext = !last->endContext;
  store().upsertMessage(*last, m_sessionID);
  if (last->finished) store().saveSession(m_sessionID);
}

}  // namespace tessra
