// The producer of one answer stream: builds the message list, streams the first pass, collects
// the tool calls, runs them and streams the second pass, yielding every change of the message as
// an `AnswerDelta`.
//
// It runs on one worker thread from `run()` to its end, blocking on the network; the client's
// callbacks only hand chunks over. A stop (the consumer cancelling the answer stream) cancels the
// request's `Cancellation`, which aborts the transfer under way and wakes every wait.
//
// An answer holds at most `kMaximumAnswerBytes` of text, its tool calls included: what the service
// sends beyond is not read. The answer keeps the text up to the limit (whole characters), the
// transfer is closed and the stream ends with `AnswerTooLongError`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "Tessra/chat_engine/answer_delta.h"
#include "Tessra/chat_engine/function_executor.h"
#include "Tessra/chat_engine/message_builder.h"
#include "Tessra/chat_engine/request_plan.h"
#include "Tessra/storage/chat_message.h"
#include "aiclient/ai_client.h"
#include "aiclient/chat_query.h"
#include "aiclient/chat_stream_result.h"
#include "platform/foundation/async_stream.h"

namespace tessra {

// The tool calls of a stream, gathered from their fragments by index, in index order.
class ToolCallCollector {
 public:
  using Fragment = aiclient::ChatStreamResult::Choice::ChoiceDelta::ChoiceDeltaToolCall;

  void merge(const Fragment& fragment);
  bool empty() const { return m_calls.empty(); }
  std::vector<FunctionCall> calls() const;
  // The bytes of the ids, names and arguments merged so far.
  std::size_t textSize() const { return m_textSize; }

 private:
  std::map<std::int64_t, FunctionCall> m_calls;
  std::size_t m_textSize = 0;
};

// The service sent more than an answer may hold.
class AnswerTooLongError : public Error {
 public:
  AnswerTooLongError();
};

class ChatRequest {
 public:
  using Continuation = platform::AsyncStream<AnswerDelta>::Continuation;

  // No real answer comes near this: the service's own output limit keeps them far smaller. The
  // text "Chat.answerTooLong" names it.
  static constexpr std::size_t kMaximumAnswerBytes = std::size_t{2} << 20;

  ChatRequest(ChatMessage message, RequestPlan plan, aiclient::ChatQuery query,
              std::shared_ptr<aiclient::AIClient> client,
              std::shared_ptr<const FunctionExecutor> executor, EncodingProvider encodingFor,
              Continuation continuation);

  // Stops the request from any thread.
  const std::shared_ptr<Cancellation>& cancellation() const { return m_context.cancellation; }

  // The whole request; ends the stream exactly once.
  void run();

 private:
  enum class Pass { first, second };

  // Streams one pass into the message; the first pass also collects tool calls.
  void streamPass(const aiclient::ChatQuery& query, Pass pass, ToolCallCollector& calls);
  // Adds the piece to the answer, up to the limit, and yields it.
  void appendToAnswer(std::string_view piece);
  // Yields the change with the token total as it stands.
  void yieldChange(AnswerDelta change);

  ChatMessage m_message;
  RequestPlan m_plan;
  aiclient::ChatQuery m_query;
  std::shared_ptr<aiclient::AIClient> m_client;
  std::shared_ptr<const FunctionExecutor> m_executor;
  EncodingProvider m_encodingFor;
  Continuation m_continuation;
  ToolContext m_context;
};

}  // namespace tessra
