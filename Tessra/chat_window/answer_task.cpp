#include "Tessra/chat_window/answer_task.h"

#include <QFile>
#include <QImage>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

#include "Tessra/chat_engine/cancellation.h"
#include "Tessra/image_files/image_helpers.h"
#include "Tessra/storage/chat_session_manager.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

constexpr double kThumbnailDimension = 400;
constexpr double kThumbnailMegabytes = 0.25;

ChatSessionManager& store() { return ChatSessionManager::shared(); }

// Every task that exists, for `stopAll`. GUI thread only.
std::vector<AnswerTask*>& allTasks() {
  static std::vector<AnswerTask*> tasks;
  return tasks;
}

bool isCancellation(const ErrorPtr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const RequestCancelledError&) {
    return true;
  } catch (...) {
    return false;
  }
}

// The message as the store holds it now; nothing once it or its conversation is gone.
std::optional<ChatMessage> storedMessage(const std::string& sessionID,
                                         const std::string& messageID) {
  const ChatSession* session = store().session(sessionID);
  if (session == nullptr) return std::nullopt;
  const auto& messages = session->messages;
  const auto found = std::find_if(messages.rbegin(), messages.rend(),
                                  [&](const ChatMessage& m) { return m.id == messageID; });
  if (found == messages.rend()) return std::nullopt;
  return *found;
}

// Gives the question, as the store holds it, the files written for it; the caller writes its
// conversation. A question deleted or cleared meanwhile is not brought back: nothing refers to
// the files, so they go.
std::optional<ChatMessage> attachQuestionFile(const std::string& sessionID,
                                              const std::string& messageID, ChatMessageFile file) {
  std::optional<ChatMessage> message = storedMessage(sessionID, messageID);
  if (!message) {
    for (const auto& url : {file.path, file.thumbnailPath}) {
      if (url) QFile::remove(QUrl(QString::fromStdString(*url)).toLocalFile());
    }
    return std::nullopt;
  }
  message->questionFile = std::move(file);
  store().upsertMessage(*message, sessionID);
  return message;
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

ChatMessage AnswerTask::makeQuestion(const std::string& text) {
  return ChatMessage(platform::makeUuidString(), text, "", false, false);
}

AnswerTask::AnswerTask(std::string sessionID, ChatMessage question, QObject* parent)
    : QObject(parent),
      m_sessionID(std::move(sessionID)),
      m_messageID(question.id),
      m_question(std::move(question)) {
  m_saveTimer.setSingleShot(true);
  m_saveTimer.setInterval(kSaveInterval);
  connect(&m_saveTimer, &QTimer::timeout, this, &AnswerTask::saveInBackground);
  allTasks().push_back(this);
}

AnswerTask::~AnswerTask() {
  std::erase(allTasks(), this);
  if (m_stream) m_stream->cancel();
}

void AnswerTask::start(ChatGPTAPI& engine, std::string apiKey, ChatGPTModels defaultModel,
                       std::optional<ChatAttachment> attachment) {
  m_running = true;
  m_engine = &engine;
  m_apiKey = std::move(apiKey);
  m_defaultModel = defaultModel;
  m_attachment = std::move(attachment);
  const bool hasImage = m_attachment && m_attachment->image;
  // A text costs no file: the question carries it from the start.
  if (m_attachment && !hasImage) m_question.questionFile = makeQuestionFile(*m_attachment);
  store().upsertMessage(m_question, m_sessionID);
  if (hasImage) writeImageFiles(*m_attachment);
  saveQuestion();
}

void AnswerTask::saveQuestion() {
  // What the user typed is on disk before the window shows it as sent and before anything can go
  // wrong with the request. The store's writer encodes and writes the whole conversation, so that
  // a long one never holds the window.
  ++m_questionSaves;
  QPointer<AnswerTask> self(this);
  store().saveSessionInBackground(m_sessionID, [self] {
    if (!self) return;
    --self->m_questionSaves;
    if (!std::exchange(self->m_questionWritten, true)) emit self->questionWritten();
    if (self) self->requestWhenReady();
  });
}

void AnswerTask::requestWhenReady() {
  if (!m_running || m_writingFiles || m_questionSaves > 0 || m_stream) return;
  if (!current()) {
    platform::logInfo("The question is gone before its request started");
    m_running = false;
    emit finished();
    return;
  }
  request();
}

void AnswerTask::writeImageFiles(ChatAttachment attachment) {
  m_writingFiles = true;
  QPointer<AnswerTask> self(this);
  platform::globalQueue().async(
      [self, sessionID = m_sessionID, messageID = m_messageID, attachment = std::move(attachment)] {
        std::optional<ChatMessageFile> file = makeQuestionFile(attachment);
        platform::mainQueue().async([self, sessionID, messageID, file = std::move(file)]() mutable {
          if (self) {
            self->imageFilesWritten(std::move(file));
          } else if (file && attachQuestionFile(sessionID, messageID, std::move(*file))) {
            // The task went with its window: the question keeps its image all the same.
            store().saveSessionInBackground(sessionID);
          }
        });
      });
}

void AnswerTask::imageFilesWritten(std::optional<ChatMessageFile> file) {
  m_writingFiles = false;
  const bool written = file.has_value();
  std::optional<ChatMessage> message =
      written ? attachQuestionFile(m_sessionID, m_messageID, std::move(*file)) : current();
  if (!message) {
    if (m_running) platform::logInfo("The question is gone before its image was written");
    m_running = false;
    emit finished();
    return;
  }
  if (written) {
    m_question.questionFile = message->questionFile;
    saveQuestion();
  }
  if (!m_running) {
    emit finished();
    return;
  }
  requestWhenReady();
}

void AnswerTask::request() {
  m_engine->setAttachment(std::exchange(m_attachment, std::nullopt));
  // The plan is taken after the question is in place: it is the last of the context messages.
  RequestPlan plan =
      m_engine->takeRequestPlan(m_sessionID, m_defaultModel, std::exchange(m_apiKey, {}));
  m_stream.emplace(m_engine->send(m_question, std::move(plan)));
  QPointer<AnswerTask> self(this);
  m_stream->forEach(
      platform::mainQueue(),
      [self](AnswerDelta change) {
        if (self) self->receive(change);
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
  // A question still waiting for its image files ends when they are in place.
  if (!m_writingFiles) emit finished();
}

void AnswerTask::stopAll() {
  // What a stop sets off may delete other tasks.
  const std::vector<QPointer<AnswerTask>> tasks(allTasks().begin(), allTasks().end());
  for (const QPointer<AnswerTask>& task : tasks)
    if (task) task->stop();
}

std::optional<ChatMessage> AnswerTask::current() const {
  return storedMessage(m_sessionID, m_messageID);
}

void AnswerTask::receive(const AnswerDelta& change) {
  if (!m_running) return;
  std::optional<ChatMessage> message = current();
  if (!message) {
    // The user deleted the message or its conversation: the rest of the answer has no place.
    platform::logInfo("The answer's message is gone; its request stops");
    m_saveTimer.stop();
    m_stream->cancel();
    m_running = false;
    emit finished();
    return;
  }
  change.applyTo(*message);
  commit(*message);
}

void AnswerTask::end(ErrorPtr error) {
  if (!m_running) return;
  m_running = false;
  if (error && !isCancellation(error)) {
    if (std::optional<ChatMessage> message = current()) {
      message->error = messageText(error);
      message->finished = true;
      endRunningCalls(*message);
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
  endRunningCalls(*message);
  commit(*message);
}

}  // namespace tessra
