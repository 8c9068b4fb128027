#include "aiclient/chat_stream_result.h"

#include <gtest/gtest.h>

#include <map>

#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Choice = ChatStreamResult::Choice;
using ToolCall = Choice::ChoiceDelta::ChoiceDeltaToolCall;
using FinishReason = Choice::FinishReason;
using Role = ChatCompletionMessageParam::Role;

std::string chunk(const std::string& choices, const std::string& extra = "") {
  return R"({"id":"chatcmpl-1","object":"chat.completion.chunk","created":1715000000,)"
         R"("model":"gpt-4o","system_fingerprint":"fp_1","choices":)" +
         choices + extra + "}";
}

TEST(ChatStreamResultWire, ReadsAContentDelta) {
  const auto result = decode<ChatStreamResult>(
      chunk(R"([{"index":0,"delta":{"content":"Hel"},"finish_reason":null,"logprobs":null}])",
            R"(,"usage":null)"));
  ASSERT_EQ(result.choices.size(), 1u);
  const auto& choice = result.choices[0];
  EXPECT_EQ(choice.index, 0);
  EXPECT_EQ(choice.delta.content, "Hel");
  EXPECT_EQ(choice.delta.role, std::nullopt);
  EXPECT_EQ(choice.delta.toolCalls, std::nullopt);
  EXPECT_EQ(choice.finishReason, std::nullopt);
  EXPECT_EQ(choice.logprobs, std::nullopt);
  EXPECT_EQ(result.usage, std::nullopt);
  EXPECT_EQ(result.systemFingerprint, "fp_1");
}

TEST(ChatStreamResultWire, DeltaFieldsTellEmptyFromAbsent) {
  const auto first =
      decode<ChatStreamResult>(chunk(R"([{"index":0,"delta":{"role":"assistant","content":""}}])"));
  EXPECT_EQ(first.choices[0].delta.role, Role::assistant);
  EXPECT_EQ(first.choices[0].delta.content, "");
  const auto nullContent =
      decode<ChatStreamResult>(chunk(R"([{"index":0,"delta":{"content":null}}])"));
  EXPECT_EQ(nullContent.choices[0].delta.content, std::nullopt);
  const auto emptyDelta = decode<ChatStreamResult>(chunk(R"([{"index":0,"delta":{}}])"));
  EXPECT_EQ(emptyDelta.choices[0].delta, Choice::ChoiceDelta{});
}

TEST(ChatStreamResultWire, LastChunkCarriesUsage) {
  const auto last = decode<ChatStreamResult>(
      chunk("[]", R"(,"usage":{"prompt_tokens":12,"completion_tokens":30,"total_tokens":42})"));
  EXPECT_TRUE(last.choices.empty());
  EXPECT_EQ(last.usage, (ChatStreamResult::Usage{30, 12, 42}));
}

TEST(ChatStreamResultWire, ToolCallFragmentsJoinAcrossChunks) {
  // Two calls whose fragments interleave, the way the service streams parallel calls.
  const std::vector<std::string> events = {
      chunk(R"([{"index":0,"delta":{"role":"assistant","content":null,"tool_calls":[{"index":0,)"
            R"("id":"call_a","type":"function","function":{"name":"image_generation_via_dalle",)"
            R"("arguments":""}}]}}])"),
      chunk(
          R"([{"index":0,"delta":{"tool_calls":[{"index":0,"function":{"arguments":"{\"pro"}}]}}])"),
      chunk(R"([{"index":0,"delta":{"tool_calls":[{"index":1,"id":"call_b","type":"function",)"
            R"("function":{"name":"other","arguments":"{}"}}]}}])"),
      chunk(
          R"([{"index":0,"delta":{"tool_calls":[{"index":0,"function":{"arguments":"mpt\":\"a cat\"}"}}]}}])"),
      chunk(R"([{"index":0,"delta":{},"finish_reason":"tool_calls"}])"),
  };
  struct Call {
    std::string id, name, arguments;
  };
  std::map<std::int64_t, Call> calls;
  std::optional<OpenEnum<FinishReason>> finish;
  for (const auto& event : events) {
    const auto result = decode<ChatStreamResult>(event);
    const auto& choice = result.choices.at(0);
    if (choice.finishReason) finish = choice.finishReason;
    for (const auto& fragment : choice.delta.toolCalls.value_or(std::vector<ToolCall>{})) {
      auto& call = calls[fragment.index];
      if (fragment.id) call.id = *fragment.id;
      if (fragment.function && fragment.function->name) call.name += *fragment.function->name;
      if (fragment.function && fragment.function->arguments)
        call.arguments += *fragment.function->arguments;
    }
  }
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].id, "call_a");
  EXPECT_EQ(calls[0].name, "image_generation_via_dalle");
  EXPECT_EQ(calls[0].arguments, R"({"prompt":"a cat"})");
  EXPECT_EQ(calls[1].arguments, "{}");
  EXPECT_EQ(finish, FinishReason::toolCalls);

  const auto second = decode<ChatStreamResult>(events[1]).choices[0].delta.toolCalls->at(0);
  EXPECT_EQ(second.id, std::nullopt);
  EXPECT_EQ(second.type, std::nullopt);
  EXPECT_EQ(second.function->name, std::nullopt);
}

TEST(ChatStreamResultWire, UnknownFinishReasonAndRoleAreKept) {
  const auto text = chunk(
      R"([{"index":0,"delta":{"role":"developer","content":"x"},"finish_reason":"max_output"}])");
  const auto result = decode<ChatStreamResult>(text);
  const auto& choice = result.choices[0];
  ASSERT_TRUE(choice.finishReason && choice.delta.role);
  EXPECT_EQ(choice.finishReason->known(), std::nullopt);
  EXPECT_EQ(choice.finishReason->rawValue(), "max_output");
  EXPECT_EQ(choice.delta.role->known(), std::nullopt);
  EXPECT_EQ(choice.delta.role->rawValue(), "developer");
  EXPECT_NE(choice.finishReason, FinishReason::stop);
  EXPECT_EQ(decode<ChatStreamResult>(wire(result)), result);
  EXPECT_NE(wire(result).find(R"("finish_reason":"max_output")"), std::string::npos);

  const auto known = decode<ChatStreamResult>(
      chunk(R"([{"index":0,"delta":{},"finish_reason":"content_filter"}])"));
  EXPECT_EQ(known.choices[0].finishReason->known(), FinishReason::contentFilter);
}

TEST(ChatStreamResultWire, CreationTimeIsAnyNumber) {
  for (const auto* created : {"1715000000", "1715000000.25", "0"}) {
    const auto text = std::string(R"({"id":"i","object":"o","model":"m","choices":[],"created":)") +
                      created + "}";
    EXPECT_EQ(decode<ChatStreamResult>(text).created, std::stod(created));
  }
}

TEST(ChatStreamResultWire, LogprobsAreOptionalAtEveryLevel) {
  const auto result = decode<ChatStreamResult>(
      chunk(R"([{"index":0,"delta":{},"logprobs":{"content":[{"token":"a","logprob":-1.25}]}},)"
            R"({"index":1,"delta":{},"logprobs":{"content":null}}])"));
  const auto& token = result.choices[0].logprobs->content->at(0);
  EXPECT_EQ(token.logprob, -1.25);
  EXPECT_EQ(token.topLogprobs, std::nullopt);
  EXPECT_EQ(result.choices[1].logprobs->content, std::nullopt);
  EXPECT_EQ(decode<ChatStreamResult>(wire(result)), result);
}

TEST(ChatStreamResultWire, BadChunksFailNamingTheKey) {
  expectDecodingErrors<ChatStreamResult>({
      {R"({"id":"i","object":"o","created":1,"model":"m"})", "choices", Kind::keyNotFound},
      {R"({"id":"i","object":"o","created":"1","model":"m","choices":[]})", "created",
       Kind::typeMismatch},
      {R"({"object":"o","created":1,"model":"m","choices":[]})", "id", Kind::keyNotFound},
      {chunk(R"([{"delta":{}}])"), "choices[0].index", Kind::keyNotFound},
      {chunk(R"([{"index":0}])"), "choices[0].delta", Kind::keyNotFound},
      {chunk(R"([{"index":0,"delta":null}])"), "choices[0].delta", Kind::valueNotFound},
      {chunk(R"([{"index":3.5,"delta":{}}])"), "choices[0].index", Kind::typeMismatch},
      {chunk(R"([{"index":0,"delta":{"content":7}}])"), "choices[0].delta.content",
       Kind::typeMismatch},
      {chunk(R"([{"index":0,"delta":{"role":1}}])"), "choices[0].delta.role", Kind::typeMismatch},
      {chunk(R"([{"index":0,"delta":{"tool_calls":[{"id":"c"}]}}])"),
       "choices[0].delta.tool_calls[0].index", Kind::keyNotFound},
      {chunk(R"([{"index":0,"delta":{"tool_calls":[{"index":0,"function":{"arguments":{}}}]}}])"),
       "choices[0].delta.tool_calls[0].function.arguments", Kind::typeMismatch},
      {chunk(R"([{"index":0,"delta":{},"finish_reason":0}])"), "choices[0].finish_reason",
       Kind::typeMismatch},
      {chunk("[]", R"(,"usage":{"prompt_tokens":1,"completion_tokens":1})"), "usage.total_tokens",
       Kind::keyNotFound},
      {chunk(R"([{"index":0,"delta":{},"logprobs":{"content":[{"logprob":-1}]}}])"),
       "choices[0].logprobs.content[0].token", Kind::keyNotFound},
      {R"({"id":"chatcmpl-1","object":"chat.completion.chunk","created":1,"choi)", "",
       Kind::dataCorrupted},
      {"[DONE]", "", Kind::dataCorrupted},
      // A number beyond any double is text the service should never send; it must fail the
      // chunk like any other bad text, not escape as a parser exception of its own.
      {R"({"id":"i","object":"o","created":1e400,"model":"m","choices":[]})", "",
       Kind::dataCorrupted},
  });
}

TEST(ChatStreamResultWire, NullOrMissingFingerprintAndUnknownKeysAreFine) {
  const auto withNull = decode<ChatStreamResult>(
      R"({"id":"i","object":"o","created":1,"model":"m","choices":[{"index":0,"delta":)"
      R"({"refusal":null,"content":"a"},"extra":{}}],"system_fingerprint":null,"service_tier":"x"})");
  EXPECT_EQ(withNull.systemFingerprint, std::nullopt);
  EXPECT_EQ(withNull.choices[0].delta.content, "a");
  const auto missing =
      decode<ChatStreamResult>(R"({"id":"i","object":"o","created":1,"model":"m","choices":[]})");
  EXPECT_EQ(missing.systemFingerprint, std::nullopt);
  EXPECT_EQ(wire(missing), R"({"choices":[],"created":1,"id":"i","model":"m","object":"o"})");
}

TEST(ChatStreamResult, FragmentMadeInCodeIsAFunctionCall) {
  const ToolCall call{
      .index = 2, .id = "c", .function = ToolCall::ChoiceDeltaToolCallFunction{.arguments = "{}"}};
  EXPECT_EQ(call.type, "function");
  EXPECT_EQ(wire(call), R"({"function":{"arguments":"{}"},"id":"c","index":2,"type":"function"})");
}

}  // namespace
}  // namespace tessra::aiclient
