#include "aiclient/completions.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;

TEST(CompletionsQueryWire, KeysInTheServiceOrderOnlyWhenSet) {
  struct Case {
    CompletionsQuery query;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{.model = "davinci", .prompt = "Say"},
       R"({"model":"davinci","prompt":"Say","stream":false})"},
      {{.model = Model::text_davinci_003,
        .prompt = "Once",
        .temperature = 0.7,
        .maxTokens = 16,
        .topP = 1,
        .frequencyPenalty = -0.5,
        .presencePenalty = 2,
        .stop = {{"\n", "END"}},
        .user = "u-1",
        .stream = true},
       R"({"model":"text-davinci-003","prompt":"Once","stream":true,"temperature":0.7,)"
       R"("max_tokens":16,"top_p":1,"frequency_penalty":-0.5,"presence_penalty":2,)"
       R"("stop":["\n","END"],"user":"u-1"})"},
      {{.model = "m", .prompt = "", .stop = std::vector<std::string>{}},
       R"({"model":"m","prompt":"","stream":false,"stop":[]})"},
  };
  for (const auto& [query, expected] : cases) {
    EXPECT_EQ(orderedWire(query), expected);
    EXPECT_EQ(decode<CompletionsQuery>(expected), query);
  }
}

TEST(CompletionsQueryWire, StreamIsRequiredAndTypesAreStrict) {
  expectDecodingErrors<CompletionsQuery>({
      {R"({"model":"m","prompt":"p"})", "stream", Kind::keyNotFound},
      {R"({"prompt":"p","stream":false})", "model", Kind::keyNotFound},
      {R"({"model":"m","prompt":"p","stream":"false"})", "stream", Kind::typeMismatch},
      {R"({"model":"m","prompt":"p","stream":false,"max_tokens":1.5})", "max_tokens",
       Kind::typeMismatch},
      {R"({"model":"m","prompt":"p","stream":false,"stop":"\n"})", "stop", Kind::typeMismatch},
      {R"({"model":"m","prompt":"p","stream":false,"stop":["a",1]})", "stop[1]",
       Kind::typeMismatch},
  });
}

constexpr const char* kAnswer = R"({
  "id": "cmpl-uqkvlQyYK7bGYrRHQ0eXlWi7",
  "object": "text_completion",
  "created": 1589478378,
  "model": "gpt-3.5-turbo-instruct",
  "system_fingerprint": "fp_44709d6fcb",
  "choices": [
    {"text": "\n\nThis is indeed a test", "index": 0, "logprobs": null, "finish_reason": "length"},
    {"text": "Yes", "index": 1, "logprobs": null}
  ],
  "usage": {"prompt_tokens": 5, "completion_tokens": 7, "total_tokens": 12}
})";

TEST(CompletionsResultWire, ReadsTheServiceAnswer) {
  const auto result = decode<CompletionsResult>(kAnswer);
  const CompletionsResult expected{
      .id = "cmpl-uqkvlQyYK7bGYrRHQ0eXlWi7",
      .object = "text_completion",
      .created = 1589478378,
      .model = "gpt-3.5-turbo-instruct",
      .choices = {{.text = "\n\nThis is indeed a test", .index = 0, .finishReason = "length"},
                  {.text = "Yes", .index = 1}},
      .usage =
          CompletionsResult::Usage{.promptTokens = 5, .completionTokens = 7, .totalTokens = 12}};
  EXPECT_EQ(result, expected);
  EXPECT_EQ(decode<CompletionsResult>(orderedWire(result)), result);
  EXPECT_EQ(
      orderedWire(CompletionsResult{.id = "c",
                                    .object = "o",
                                    .created = 1.5,
                                    .model = "m",
                                    .choices = {{.text = "t", .index = 0}}}),
      R"({"id":"c","object":"o","created":1.5,"model":"m","choices":[{"text":"t","index":0}]})");
}

TEST(CompletionsResultWire, BadAnswersFail) {
  expectDecodingErrors<CompletionsResult>({
      {R"({"object":"o","created":1,"model":"m","choices":[]})", "id", Kind::keyNotFound},
      {R"({"id":"c","object":"o","created":"1","model":"m","choices":[]})", "created",
       Kind::typeMismatch},
      {R"({"id":"c","object":"o","created":1,"model":"m"})", "choices", Kind::keyNotFound},
      {R"({"id":"c","object":"o","created":1,"model":"m","choices":[{"index":0}]})",
       "choices[0].text", Kind::keyNotFound},
      {R"({"id":"c","object":"o","created":1,"model":"m","choices":[],"usage":{"prompt_tokens":1}})",
       "usage.completion_tokens", Kind::keyNotFound},
  });
}

}  // namespace
}  // namespace tessra::aiclient
