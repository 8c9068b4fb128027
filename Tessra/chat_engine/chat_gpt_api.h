// The chat engine: turns a question in a conversation into a stream of the growing answer.
//
//   auto& engine = ChatGPTAPI::shared();
//   engine.setAttachment(attachment);                        // GUI thread, before each send
//   platform::AsyncStream<AnswerDelta> answer = engine.sendMessage(message, conversationID);
//   answer.forEach(platform::mainQueue(), [&](AnswerDelta change) { change.applyTo(shown); },
//                  onEnd);
//   answer.cancel();                                         // Stop
//
// Every element of the stream is what changed in the question's message since the element before
// (answer_delta.h), so an answer costs what it adds, however it is cut: content grows, tool status
// lines ("Running DALLE-E", then "DALLE-E") and the tool's files are added, `tokenUsage` follows
// the service's reports, and only the last element is `finished`. Content that the consumer has
// not taken yet folds into one element, so a consumer slower than the service falls behind by one
// element at most, never by a backlog. A failure ends the stream with the error (see
// `messageText`) and no finished element; an answer past `ChatRequest::kMaximumAnswerBytes` ends
// with `AnswerTooLongError` after the text up to the limit.
//
// A request works from a `RequestPlan` taken on the GUI thread when it starts: the API key, the
// conversation's settings, the context messages and the attachment, which the request consumes.
// It then runs on a worker of the global queue: builds and trims the message list, streams the
// answer, runs the tool calls the model streamed and streams a second pass with their results.
//
// Stop: cancelling the stream (or dropping it) aborts the transfer under way, starts no further
// tool, runs no second pass and removes the files of a tool that was interrupted; nothing more is
// delivered, and the stream ends without an error. At quit, `stopRequests` does the same to every
// request still at work and waits for them to wind down, so that nothing a request uses is torn
// down under it.
//
// Threads: `sendMessage`, `attachment` and `setAttachment` are GUI-thread only (they read the
// store and the settings). `send`, `model` and `openAI` may be called from any thread; the client
// is guarded by the engine's mutex, and a request keeps the client it started with.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_engine/answer_delta.h"
#include "Tessra/chat_engine/function_executor.h"
#include "Tessra/chat_engine/message_builder.h"
#include "Tessra/chat_engine/request_plan.h"
#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/chat_message.h"
#include "aiclient/ai_client.h"
#include "aiclient/chat_query.h"
#include "platform/foundation/async_stream.h"
#include "platform/foundation/error.h"

namespace tessra {

class ChatGPTAPI {
 public:
  struct Dependencies {
    // The token counter's encodings; `Tokenizer::shared()` when empty.
    EncodingProvider encodingFor;
    // The tools offered to the model; the image tool when empty.
    std::vector<std::shared_ptr<const IFunctionCall>> functions;
  };

  // The engine of the program, made on first use and kept until it quits.
  static ChatGPTAPI& shared();

  ChatGPTAPI();
  explicit ChatGPTAPI(Dependencies dependencies);
  ChatGPTAPI(const ChatGPTAPI&) = delete;
  ChatGPTAPI& operator=(const ChatGPTAPI&) = delete;

  // The attachment of the next question; the next request takes it. GUI thread.
  const std::optional<ChatAttachment>& attachment() const { return m_attachment; }
  void setAttachment(std::optional<ChatAttachment> attachment) {
    m_attachment = std::move(attachment);
  }

  // The model of the latest request (gpt4 before the first).
  ChatGPTModels model() const { return m_model.load(); }
  // The client made for the latest API key.
  std::shared_ptr<aiclient::AIClient> openAI() const;
  const FunctionExecutor& functionExecutor() const { return *m_functionExecutor; }
  // How many requests are still at work, stopped ones included until they have wound down.
  int activeRequests() const;
  // Stops every request still at work, as a stop of its stream does, and waits up to `timeout`
  // for them to wind down; true when none is left. Any thread but a request's own.
  bool stopRequests(std::chrono::milliseconds timeout);

  // Takes the plan of a request from the store and the settings, and the attachment. GUI thread.
  RequestPlan takeRequestPlan(const std::string& conversationID);
  // The same with the model of conversations that name none and the API key given.
  RequestPlan takeRequestPlan(const std::string& conversationID, ChatGPTModels defaultModel,
                              std::string apiKey);

  // Starts answering the question with the conversation's settings and context. GUI thread.
  platform::AsyncStream<AnswerDelta> sendMessage(const ChatMessage& message,
                                                 const std::string& conversationID);
  // Starts answering the question from a plan taken before. Any thread.
  platform::AsyncStream<AnswerDelta> send(ChatMessage message, RequestPlan plan);

  // The request record of a plan before its messages are filled in: the model's API name, the
  // plan's sampling values, the tools with the choice "auto" and usage asked for in the stream.
  aiclient::ChatQuery prepareQuery(const RequestPlan& plan) const;

 private:
  // Replaces the client when the key differs from the one it was made with.
  std::shared_ptr<aiclient::AIClient> clientFor(const std::string& apiKey);

  EncodingProvider m_encodingFor;
  std::shared_ptr<const FunctionExecutor> m_functionExecutor;
  std::optional<ChatAttachment> m_attachment;  // GUI thread only
  std::atomic<ChatGPTModels> m_model = ChatGPTModels::gpt4;
  // The requests at work, shared with their jobs, which may outlive the engine.
  struct Requests;
  std::shared_ptr<Requests> m_requests;
  mutable std::mutex m_openAIMutex;  // guards m_openAI
  std::shared_ptr<aiclient::AIClient> m_openAI;
};

// The text shown to the user for an error: the service's message for its error envelope, "the
// service's answer could not be read" in the user's language for an answer that is no text or no
// record, that the answer was cut at its size for one too long, the error's description
// otherwise.
std::string messageText(const ErrorPtr& error);

}  // namespace tessra
