#include "Tessra/chat_window/answer_task.h"

#include <QImage>
#include <QPointer>

#include <algorithm>

#include "Tessra/chat_engine/cancellation.h"
#include "Tessra/prompt_input/image_helpers.h"
#include "Tessra/storage/chat_session_manager.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

constexpr double kThumbnailDimension = 400;
constexpr double kThumbnailMegabytes = 0.25;

ChatSessionManager& store() { return ChatSessionManager::shared(); }

bool isCancellation(const ErrorPtr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const RequestCancelledError&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

std::optional<ChatMessageFile> AnswerTask::makeQuestionFile(const ChatAttachment& attachment) {
  if (attachment.image) {
    const QImage image =
        QImage::fromData(reinterpret_cast<const uchar*>(attachment.image->jpeg.data()),
                         static_cast<int>(attachment.image->jpeg.size()), "JPEG");
    if (std::optional<std::string> path = image.isNull() ? std::nullopt : saveAsJPEGFile(image)) {
      std::optional<std::string> thumbnailPath;
      if (const auto thumbnail = compressed(image, kThumbnailDimension, kThumbnailMegabytes))
        thumbnailPath = saveAsJPEGFile(thumbnail->image);
      return ChatMessageFile{attachment.fileName, std::move(path), std::nullopt,
                             std::move(thumbnailPath), ChatMessageFile::ChatMessageFileType::image};
    }
  }
  if (attachment.text) {
    return ChatMessageFile{attachment.fileName, std::nullopt, attachment.text, std::nullopt,
                           ChatMessageFile::ChatMessageFileType::text};
  }
  return std::nullopt;
}

ChatMessage AnswerTask::makeQuestion(const std::string& text,
                                     const std::optional<ChatAttachment>& attachment) {
  ChatMessage message(platform::makeUuidString(), text, "", false, false);
  if (attachment) message.questionFile = makeQuestionFile(*attachment);
  return message;
}

AnswerTask::AnswerTask(std::string sessionID, ChatMessage question, QObject* parent)
    : QObject(parent),
      m_sessionID(std::move(sessionID)),
      m_messageID(question.id),
      m_question(std::move(question)) {
  m_saveTimer.setSingleShot(true);
  m_saveTimer.setInterval(kSaveInterval);
  connect(&m_saveTimer, &QTimer::timeout, this, &AnswerTask::saveInBackground);
}

AnswerTask::~AnswerTask() {
  if (m_stream) m_stream->cancel();
}

void AnswerTask::start(ChatGPTAPI& engine, std::string apiKey, ChatGPTModels defaultModel,
                       std::optional<ChatAttachment> attachment) {
  m_running = true;
  engine.setAttachment(std::move(attachment));
  store().upsertMessage(m_question, m_sessionID);
  // What the user typed is on disk before anything can go wrong with the request.
  store().saveSession(m_sessionID);
  // The plan is taken after the question is in place: it is the last of the context messages.
  RequestPlan plan = engine.takeRequestPlan(m_sessionID, defaultModel, std::move(apiKey));
  m_stream.emplace(engine.send(m_question, std::move(plan)));
  QPointer<AnswerTask> self(this);
  m_stream->forEach(
      platform::mainQueue(),
      [self](ChatMessage state) {
        if (self) self->receive(std::move(state));
      },
      [self](ErrorPtr error) {
        if (self) self->end(std::move(error));
      });
}

void AnswerTask::stop() {
  if (!m_running) return;
  if (m_stream) m_stream->cancel();
  markFinished();
  m_running = false;
  emit finished();
}

std::optional<ChatMessage> AnswerTask::current() const {
  const ChatSession* session = store().session(m_sessionID);
  if (session == nullptr) return std::nullopt;
  const auto& messages = session->messages;
  const auto found = std::find_if(messages.rbegin(), messages.rend(),
                                  [&](const ChatMessage& m) { return m.id == m_messageID; });
  if (found == messages.rend()) return std::nullopt;
  return *found;
}

void AnswerTask::receive(ChatMessage state) {
  if (!m_running) return;
  if (!current()) {
    // The user deleted the message or its conversation: the rest of the answer has no place.
    platform::logInfo("The answer's message is gone; its request stops");
    m_saveTimer.stop();
    m_stream->cancel();
    m_running = false;
    emit finished();
    return;
  }
  commit(state);
}

void AnswerTask::end(ErrorPtr error) {
  if (!m_running) return;
  m_running = false;
  if (error && !isCancellation(error)) {
    if (std::optional<ChatMessage> message = current()) {
      message->error = messageText(error);
      message->finished = true;
      commit(*message);
    }
  }
  emit finished();
}

void AnswerTask::commit(const ChatMessage& message) {
  store().upsertMessage(message, m_sessionID);
  if (message.finished) {
    saveInBackground();
  } else if (!m_saveTimer.isActive()) {
    m_saveTimer.start();
  }
  emit messageChanged(message, m_sessionID);
}

void AnswerTask::saveInBackground() {
  m_saveTimer.stop();
  // A message deleted meanwhile was saved away by its delete; the conversation keeps that.
  if (current()) store().saveSessionInBackground(m_sessionID);
}

void AnswerTask::markFinished() {
  std::optional<ChatMessage> message = current();
  if (!message || message->finished) return;
  message->finished = true;
  commit(*message);
}

}  // namespace tessra
