#include "aiclient/chat_query.h"

#include <gtest/gtest.h>

#include <limits>

#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Message = ChatQuery::ChatCompletionMessageParam;
using Role = Message::Role;
using FunctionParameters = ChatCompletionToolParam::FunctionDefinition::FunctionParameters;
using JSONType = FunctionParameters::JSONType;

ChatCompletionToolParam imageTool() {
  return {.function = {
              .name = "image_generation_via_dalle",
              .description = "Creates an image",
              .parameters =
                  FunctionParameters{
                      .type = JSONType::object,
                      .properties = {{{"prompt",
                                       {.type = JSONType::string, .description = "What to draw"}}}},
                      .required = {{"prompt"}}},
          }};
}

ChatQuery fullQuery() {
  return {.messages = {Message::ChatCompletionSystemMessageParam{.content = "Be brief.",
                                                                 .name = "setup"},
                       Message::ChatCompletionUserMessageParam{.content = "Draw a cat/dog"}},
          .model = "gpt-4o",
          .frequencyPenalty = 0.5,
          .logitBias = {{{"50256", -100}}},
          .logprobs = true,
          .maxTokens = 256,
          .n = 2,
          .presencePenalty = -0.25,
          .responseFormat = ChatQuery::ResponseFormat::jsonObject,
          .seed = 42,
          .stop = ChatQuery::Stop(std::vector<std::string>{"END", "\n\n"}),
          .temperature = 0.7,
          .toolChoice = ChatCompletionFunctionCallOptionParam::auto_(),
          .tools = {{imageTool()}},
          .topLogprobs = 3,
          .topP = 1,
          .user = "user-1",
          .stream = true,
          .streamOptions = ChatQuery::StreamOptions{.includeUsage = true}};
}

constexpr std::string_view kFullQueryWire =
    R"({"frequency_penalty":0.5,"logit_bias":{"50256":-100},"logprobs":true,"max_tokens":256,)"
    R"("messages":[{"content":"Be brief.","name":"setup","role":"system"},)"
    R"({"content":"Draw a cat\/dog","role":"user"}],"model":"gpt-4o","n":2,)"
    R"("presence_penalty":-0.25,"response_format":{"type":"json_object"},"seed":42,)"
    R"("stop":["END","\n\n"],"stream":true,"stream_options":{"include_usage":true},)"
    R"("temperature":0.7,"tool_choice":"auto","tools":[{"function":{)"
    R"("description":"Creates an image","name":"image_generation_via_dalle","parameters":{)"
    R"("properties":{"prompt":{"description":"What to draw","type":"string"}},)"
    R"("required":["prompt"],"type":"object"}},"type":"function"}],"top_logprobs":3,)"
    R"("top_p":1,"user":"user-1"})";

TEST(ChatQueryWire, FullQueryIsWrittenWithEveryKey) {
  EXPECT_EQ(wire(fullQuery()), kFullQueryWire);
}

TEST(ChatQueryWire, BareQueryWritesOnlyMessagesModelAndStream) {
  EXPECT_EQ(wire(ChatQuery{.model = "gpt-4o"}),
            R"({"messages":[],"model":"gpt-4o","stream":false})");
}

TEST(ChatQueryWire, ReadsBackWhatItWrites) {
  for (const auto& query : {fullQuery(), ChatQuery{.model = "gpt-4o"}}) {
    EXPECT_EQ(decode<ChatQuery>(wire(query)), query);
  }
  EXPECT_EQ(decode<ChatQuery>(kFullQueryWire), fullQuery());
}

TEST(ChatQueryWire, PresentButEmptyValuesAreStillWritten) {
  struct Case {
    ChatQuery query;
    std::string member;
  };
  const std::vector<Case> cases = {
      {{.temperature = 0}, R"("temperature":0)"},
      {{.logitBias = std::map<std::string, std::int64_t>{}}, R"("logit_bias":{})"},
      {{.stop = ChatQuery::Stop(std::vector<std::string>{})}, R"("stop":[])"},
      {{.stop = ChatQuery::Stop("")}, R"("stop":"")"},
      {{.stop = ChatQuery::Stop("END")}, R"("stop":"END")"},
      {{.responseFormat = ChatQuery::ResponseFormat::text}, R"("response_format":{"type":"text"})"},
      {{.streamOptions = ChatQuery::StreamOptions{}},
       R"("stream_options":{"include_usage":false})"},
      {{.toolChoice = ChatCompletionFunctionCallOptionParam::none()}, R"("tool_choice":"none")"},
      {{.logprobs = false}, R"("logprobs":false)"},
      {{.seed = -1}, R"("seed":-1)"},
  };
  for (const auto& [query, member] : cases) {
    const auto text = wire(query);
    EXPECT_NE(text.find(member), std::string::npos) << text;
    EXPECT_EQ(text.find("null"), std::string::npos) << text;
    EXPECT_EQ(decode<ChatQuery>(text), query) << text;
  }
}

TEST(ChatQueryWire, StopReadsBothForms) {
  const auto list =
      decode<ChatQuery>(R"({"messages":[],"model":"m","stream":false,"stop":["a","b"]})");
  ASSERT_TRUE(list.stop && list.stop->stringList());
  EXPECT_EQ(*list.stop->stringList(), (std::vector<std::string>{"a", "b"}));
  const auto one = decode<ChatQuery>(R"({"messages":[],"model":"m","stream":false,"stop":"END"})");
  ASSERT_TRUE(one.stop && one.stop->string());
  EXPECT_EQ(*one.stop->string(), "END");
}

TEST(ChatQueryWire, IgnoresUnknownKeysAndReadsNullAsAbsent) {
  const auto query = decode<ChatQuery>(
      R"({"messages":[],"model":"m","stream":true,"functions":[1],"temperature":null,"user":null})");
  EXPECT_EQ(query, (ChatQuery{.model = "m", .stream = true}));
}

TEST(ChatQueryWire, BadInputFailsNamingTheKey) {
  const std::string base = R"("messages":[],"model":"m","stream":false)";
  expectDecodingErrors<ChatQuery>({
      {R"({"messages":[],"model":"m"})", "stream", Kind::keyNotFound},
      {R"({"model":"m","stream":false})", "messages", Kind::keyNotFound},
      {R"({"messages":[],"stream":false})", "model", Kind::keyNotFound},
      {R"({"messages":[],"model":null,"stream":false})", "model", Kind::valueNotFound},
      {"{" + base + R"(,"stop":5})", "stop", Kind::typeMismatch},
      {"{" + base + R"(,"stop":["a",1]})", "stop[1]", Kind::typeMismatch},
      {"{" + base + R"(,"max_tokens":3.5})", "max_tokens", Kind::typeMismatch},
      {"{" + base + R"(,"n":"1"})", "n", Kind::typeMismatch},
      {"{" + base + R"(,"temperature":"hot"})", "temperature", Kind::typeMismatch},
      {R"({"messages":[],"model":"m","stream":"true"})", "stream", Kind::typeMismatch},
      {"{" + base + R"(,"stream_options":{}})", "stream_options.include_usage", Kind::keyNotFound},
      {"{" + base + R"(,"response_format":{"type":"xml"}})", "response_format.type",
       Kind::dataCorrupted},
      {"{" + base + R"(,"response_format":"json_object"})", "response_format", Kind::typeMismatch},
      {"{" + base + R"(,"logit_bias":{"1":0.5}})", "logit_bias.1", Kind::typeMismatch},
      {"{" + base + R"(,"tool_choice":"required"})", "tool_choice", Kind::typeMismatch},
      {"{" + base + R"(,"tools":[{"type":"function"}]})", "tools[0].function", Kind::keyNotFound},
      {R"({"messages":[{"role":"user","content":3}],"model":"m","stream":false})",
       "messages[0].content", Kind::typeMismatch},
      {R"({"messages":[{"content":"x"}],"model":"m","stream":false})", "messages[0].role",
       Kind::keyNotFound},
      {R"({"messages":[],"model":"m","stream":fal)", "", Kind::dataCorrupted},
      {R"([])", "", Kind::typeMismatch},
  });
}

}  // namespace
}  // namespace tessra::aiclient
