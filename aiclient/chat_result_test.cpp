#include "aiclient/chat_result.h"

#include <gtest/gtest.h>

#include <limits>

#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using FinishReason = ChatResult::Choice::FinishReason;

// A whole answer as the service sends it, with a tool call and a key this client does not know.
constexpr std::string_view kAnswer = R"({
  "id": "chatcmpl-9", "object": "chat.completion", "created": 1715000000,
  "model": "gpt-4o-2024-05-13", "system_fingerprint": "fp_1",
  "choices": [{
    "index": 0,
    "message": {"role": "assistant", "content": null, "refusal": null, "tool_calls": [{
      "id": "call_7", "type": "function",
      "function": {"name": "image_generation_via_dalle", "arguments": "{\"prompt\":\"a cat\"}"}}]},
    "logprobs": null, "finish_reason": "tool_calls"}],
  "usage": {"prompt_tokens": 20, "completion_tokens": 5, "total_tokens": 25}
})";

TEST(ChatResultWire, ReadsAWholeAnswer) {
  const auto result = decode<ChatResult>(kAnswer);
  EXPECT_EQ(result.id, "chatcmpl-9");
  EXPECT_EQ(result.created, 1715000000.0);
  EXPECT_EQ(result.systemFingerprint, "fp_1");
  ASSERT_EQ(result.choices.size(), 1u);
  const auto& choice = result.choices[0];
  EXPECT_EQ(choice.finishReason, rawValue(FinishReason::toolCalls));
  EXPECT_EQ(choice.logprobs, std::nullopt);
  EXPECT_EQ(choice.message.role(), ChatCompletionMessageParam::Role::assistant);
  EXPECT_EQ(choice.message.content(), std::nullopt);
  const auto calls = choice.message.toolCalls();
  ASSERT_TRUE(calls && calls->size() == 1);
  EXPECT_EQ((*calls)[0].function.arguments, R"({"prompt":"a cat"})");
  EXPECT_EQ(result.usage, (ChatResult::CompletionUsage{5, 20, 25}));
  EXPECT_EQ(decode<ChatResult>(wire(result)), result);
}

TEST(ChatResultWire, AbsentOptionalsStayAbsent) {
  const auto result = decode<ChatResult>(
      R"({"id":"x","object":"chat.completion","created":1.5,"model":"m","choices":[]})");
  EXPECT_EQ(result.usage, std::nullopt);
  EXPECT_EQ(result.systemFingerprint, std::nullopt);
  EXPECT_TRUE(result.choices.empty());
  EXPECT_EQ(wire(result),
            R"({"choices":[],"created":1.5,"id":"x","model":"m","object":"chat.completion"})");
}

TEST(ChatResultWire, FinishReasonIsKeptAsWritten) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {R"("stop")", "stop"},
      {R"("tool_calls")", "tool_calls"},
      {R"("max_output")", "max_output"},
      {"null", std::nullopt},
  };
  for (const auto& [json, expected] : cases) {
    const auto result = decode<ChatResult>(
        R"({"id":"x","object":"o","created":1,"model":"m","choices":[{"index":0,)"
        R"("message":{"role":"assistant","content":"hi"},"finish_reason":)" +
        json + "}]}");
    EXPECT_EQ(result.choices[0].finishReason, expected) << json;
  }
}

TEST(ChatResultWire, LogprobsReadWhatIsThere) {
  const std::string head =
      R"({"id":"x","object":"o","created":1,"model":"m","choices":[{"index":0,)"
      R"("message":{"role":"assistant","content":"hi"},"logprobs":)";
  EXPECT_EQ(decode<ChatResult>(head + "{\"content\":null}}]}").choices[0].logprobs,
            ChatResult::Choice::ChoiceLogprobs{});
  const auto withTokens = decode<ChatResult>(
      head +
      R"({"content":[{"token":"hi","logprob":-0.5,"bytes":[104,105],"top_logprobs":[]}]}}]})");
  const auto& token = withTokens.choices[0].logprobs->content->at(0);
  EXPECT_EQ(token.bytes, (std::vector<std::int64_t>{104, 105}));
  EXPECT_TRUE(token.topLogprobs.empty());
  EXPECT_EQ(decode<ChatResult>(wire(withTokens)), withTokens);
}

TEST(ChatResultWire, BadAnswersFailNamingTheKey) {
  const std::string choice = R"({"index":0,"message":{"role":"assistant","content":"hi"}})";
  const auto answer = [](const std::string& choices, const std::string& extra = "") {
    return R"({"id":"x","object":"o","created":1,"model":"m","choices":)" + choices + extra + "}";
  };
  expectDecodingErrors<ChatResult>({
      {R"({"id":"x","object":"o","created":1,"model":"m"})", "choices", Kind::keyNotFound},
      {answer("[" + choice + "]", R"(,"usage":{"completion_tokens":1,"total_tokens":2})"),
       "usage.prompt_tokens", Kind::keyNotFound},
      {answer("[" + choice + "]",
              R"(,"usage":{"completion_tokens":1.5,"prompt_tokens":1,"total_tokens":2})"),
       "usage.completion_tokens", Kind::typeMismatch},
      {answer(R"([{"index":0,"message":{"role":"assistant"},"logprobs":{"content":)"
              R"([{"token":"a","logprob":-1}]}}])"),
       "choices[0].logprobs.content[0].top_logprobs", Kind::keyNotFound},
      {answer(R"([{"index":0,"message":{"role":"narrator","content":"x"}}])"),
       "choices[0].message.role", Kind::dataCorrupted},
      {answer(R"([{"message":{"role":"assistant"}}])"), "choices[0].index", Kind::keyNotFound},
      {answer(R"([{"index":0,"message":{"role":"assistant"},"finish_reason":1}])"),
       "choices[0].finish_reason", Kind::typeMismatch},
      {R"({"id":"x","object":"o","created":"now","model":"m","choices":[]})", "created",
       Kind::typeMismatch},
      {R"({"id":"x","object":"o","created":1,"model":"m","choices":[])", "", Kind::dataCorrupted},
  });
}

}  // namespace
}  // namespace tessra::aiclient
