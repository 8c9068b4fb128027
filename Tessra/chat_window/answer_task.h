// One question on its way to an answer: the message a send made, the request the engine runs for
// it, and what its answer does to the conversation.
//
//   auto* task = new AnswerTask(sessionID, AnswerTask::makeQuestion(text), this);
//   connect(task, &AnswerTask::questionWritten, this, &ChatController::showWrittenQuestion);
//   connect(task, &AnswerTask::finished, this, &ChatController::answerEnded);
//   task->start(ChatGPTAPI::shared(), settings.openAiKey(),
//               settings.value(setting::openAiModel), attachment);
//   task->stop();  // the user pressed Cancel
//
// A task keeps the ids of its conversation and message from start to end, whatever the window
// shows meanwhile: every change of the answer, its error and a stop act on that message in that
// conversation, only while the message still exists there (a deleted message or conversation
// is never brought back), and save that conversation. Each change is applied to the message as
// the store holds it in memory, whose `messageChanged` tells the windows at once; the engine hands
// over what changed, one event-loop turn at a time, so however fast the service streams, the window
// keeps up and a click on Cancel is taken at once. Nothing typed is lost: the question is written
// to the conversation's file when it is sent, on the store's writer so that a long conversation
// never holds the window, and `questionWritten` tells once it is there: the window shows the
// question as sent only then, so a crash before it finds the question still in the prompt. The
// request starts once the question is there; an attached image is written as
// the question's files on a worker meanwhile, and the question is written again with them before
// the request starts; while the answer streams, the file is written in the background at most every
// `kSaveInterval`, so a crash loses only the last moments of an answer; and once more when the
// answer is finished, has failed or is stopped. A stop is not an error, and after it nothing more
// of the answer arrives; a question stopped before its image was written, or whose task goes
// meanwhile, still gets its files.
//
// GUI thread only; the image files are written on the global queue, the engine's stream is
// consumed on the main queue.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/chat_message.h"

namespace tessra {

class AnswerTask final : public QObject {
  Q_OBJECT

 public:
  // How long at most an answer that streams grows before it is written again.
  static constexpr std::chrono::milliseconds kSaveInterval{2000};

  // A new question: a fresh id, the text as typed, its first 80 characters as the short question,
  // the time now.
  static ChatMessage makeQuestion(const std::string& text);
  // The question file of an attachment. An image becomes two JPEG files in the attachment folder
  // (the image and a thumbnail), written before this returns, on whatever thread calls it; a
  // text becomes a text record. Nothing for an image that cannot be written and no text.
  static std::optional<ChatMessageFile> makeQuestionFile(const ChatAttachment& attachment);

  AnswerTask(std::string sessionID, ChatMessage question, QObject* parent = nullptr);
  ~AnswerTask() override;

  // Puts the question with its attachment's file record into its conversation and writes it,
  // then, once it is written, tells `questionWritten` and starts the engine on it with the API
  // key, the model of conversations that name none and the attachment for the request. An image
  // is written as files on a worker meanwhile; the request starts once the question is written
  // with them.
  void start(ChatGPTAPI& engine, std::string apiKey, ChatGPTModels defaultModel,
             std::optional<ChatAttachment> attachment);
  // Ends the answer where it stands: the stream is cancelled, and the message, while it exists
  // unfinished, is marked finished, saved and announced. No request starts after it.
  void stop();
  // Stops every task that is still running, as the program quits: each answer is kept as far as
  // it came, as a stop keeps it.
  static void stopAll();

  bool isRunning() const { return m_running; }
  const std::string& sessionID() const { return m_sessionID; }
  const std::string& messageID() const { return m_messageID; }
  // The question as `start` put it into the conversation.
  const ChatMessage& question() const { return m_question; }
  // Whether `questionWritten` has been sent.
  bool isQuestionWritten() const { return m_questionWritten; }

 signals:
  // The question's first write has ended: the conversation's file holds it (or the write failed,
  // which the store tells). Sent once, before the request starts, also when the task was stopped
  // meanwhile; a task destroyed before it never sends it.
  void questionWritten();
  // The answer ended (finished, failed or stopped) and the question's files are in place. Sent
  // once.
  void finished();

 private:
  // The message as the store holds it now; nothing once it or its conversation is gone.
  std::optional<ChatMessage> current() const;
  void writeImageFiles(ChatAttachment attachment);
  void imageFilesWritten(std::optional<ChatMessageFile> file);
  // Writes the conversation with the question as it stands, in the background.
  void saveQuestion();
  // Starts the request once the question's files and its writes are done, while it runs.
  void requestWhenReady();
  void request();
  void receive(const AnswerDelta& change);
  void end(ErrorPtr error);
  void commit(const ChatMessage& message);
  void markFinished();
  // Writes the conversation as it stands now, without waiting for the disk.
  void saveInBackground();

  std::string m_sessionID;
  std::string m_messageID;
  ChatMessage m_question;
  // What the request needs, kept while the image files are written.
  ChatGPTAPI* m_engine = nullptr;
  std::string m_apiKey;
  ChatGPTModels m_defaultModel = ChatGPTModels::gpt4;
  std::optional<ChatAttachment> m_attachment;
  std::optional<platform::AsyncStream<AnswerDelta>> m_stream;
  bool m_running = false;
  bool m_writingFiles = false;
  // Writes of the question asked for and not yet done.
  int m_questionSaves = 0;
  bool m_questionWritten = false;
  // Runs while the answer has grown since it was last written.
  QTimer m_saveTimer;
};

}  // namespace tessra
