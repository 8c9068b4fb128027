#include "Tessra/chat_engine/chat_request.h"

#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "aiclient/awaitable_endpoints.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/utf8.h"

namespace tessra {

using aiclient::ChatStreamResult;

void ToolCallCollector::merge(const Fragment& fragment) {
  FunctionCall& call = m_calls[fragment.index];
  if (fragment.id) {
    call.id = *fragment.id;
    m_textSize += fragment.id->size();
  }
  if (!fragment.function) return;
  if (fragment.function->name) {
    call.name = *fragment.function->name;
    m_textSize += fragment.function->name->size();
  }
  if (fragment.function->arguments) {
    // In place: arguments streamed in many small pieces cost what they add.
    if (!call.arguments) call.arguments.emplace();
    call.arguments->append(*fragment.function->arguments);
    m_textSize += fragment.function->arguments->size();
  }
}

std::vector<FunctionCall> ToolCallCollector::calls() const {
  std::vector<FunctionCall> calls;
  calls.reserve(m_calls.size());
  for (const auto& [index, call] : m_calls) calls.push_back(call);
  return calls;
}

AnswerTooLongError::AnswerTooLongError()
    : Error("The answer is longer than an answer may be.",
            fmt::format("more than {} bytes", ChatRequest::kMaximumAnswerBytes)) {}

ChatRequest::ChatRequest(ChatMessage message, RequestPlan plan, aiclient::ChatQuery query,
                         std::shared_ptr<aiclient::AIClient> client,
                         std::shared_ptr<const FunctionExecutor> executor,
                         EncodingProvider encodingFor, Continuation continuation)
    : m_message(std::move(message)),
      m_plan(std::move(plan)),
      m_query(std::move(query)),
      m_client(std::move(client)),
      m_executor(std::move(executor)),
      m_encodingFor(std::move(encodingFor)),
      m_continuation(std::move(continuation)) {
  m_context.apiKey = m_plan.apiKey;
}

void ChatRequest::run() {
  try {
    m_context.cancellation->throwIfCancelled();
    m_query.messages = buildMessages(m_message, m_plan, m_encodingFor).messages;
    // The plan's snapshot is no longer needed; its attachment may be large.
    m_plan.contextMessages.clear();
    m_plan.attachment.reset();

    ToolCallCollector collected;
    streamPass(m_query, Pass::first, collected);
    if (!collected.empty()) {
      FunctionExecutor::Outcome outcome = m_executor->execute(
          collected.calls(), m_message, m_query,
          [this](const ChatMessage& updated) {
            m_message = updated;
            yieldChange(
                {.functionCalls = updated.functionCalls, .answerFiles = updated.answerFiles});
          },
          m_context);
      m_message = std::move(outcome.message);
      aiclient::ChatQuery second = m_query;
      second.messages = std::move(outcome.messages);
      second.toolChoice = aiclient::ChatCompletionFunctionCallOptionParam::none();
      ToolCallCollector ignored;
      streamPass(second, Pass::second, ignored);
    }
    m_message.finished = true;
    yieldChange({.finished = true});
    m_continuation.finish();
  } catch (const RequestCancelledError&) {
    // The consumer asked for the end and has gone; there is nobody to tell.
    m_continuation.finish();
  } catch (...) {
    const ErrorPtr error = std::current_exception();
    if (m_context.cancellation->isCancelled()) {
      m_continuation.finish();
      return;
    }
    platform::logError("The chat request failed: {}", debugDescribe(error));
    m_continuation.finish(error);
  }
}

void ChatRequest::streamPass(const aiclient::ChatQuery& query, Pass pass,
                             ToolCallCollector& calls) {
  m_context.cancellation->throwIfCancelled();
  // Shared with the stop handler, which may still be running on the stopping thread when this
  // pass has returned. Cancelling the chunks closes the connection and wakes the wait below.
  const auto chunks = std::make_shared<platform::AsyncStream<ChatStreamResult>>(
      aiclient::chatsStream(*m_client, query));
  const Cancellation::Registration stop =
      m_context.cancellation->onCancel([chunks] { chunks->cancel(); });

  while (std::optional<ChatStreamResult> chunk = chunks->next()) {
    m_context.cancellation->throwIfCancelled();
    if (chunk->usage) m_message.tokenUsage = chunk->usage->totalTokens;
    if (chunk->choices.empty()) continue;
    const auto& delta = chunk->choices.front().delta;
    if (delta.content) {
      appendToAnswer(*delta.content);
    } else if (pass == Pass::first && delta.toolCalls) {
      for (const auto& fragment : *delta.toolCalls) calls.merge(fragment);
      if (m_message.answer.size() + calls.textSize() > kMaximumAnswerBytes)
        throw AnswerTooLongError();
    }
  }
  m_context.cancellation->throwIfCancelled();
}

void ChatRequest::appendToAnswer(std::string_view piece) {
  const std::size_t room =
      kMaximumAnswerBytes - std::min(kMaximumAnswerBytes, m_message.answer.size());
  const bool tooLong = piece.size() > room;
  if (tooLong) piece = piece.substr(0, platform::completeUtf8Prefix(piece.substr(0, room)));
  m_message.answer += piece;
  yieldChange({.appendedAnswer = std::string(piece)});
  if (tooLong) throw AnswerTooLongError();
}

void ChatRequest::yieldChange(AnswerDelta change) {
  change.tokenUsage = m_message.tokenUsage;
  if (!m_continuation.yield(std::move(change))) m_context.cancellation->cancel();
}

}  // namespace tessra
