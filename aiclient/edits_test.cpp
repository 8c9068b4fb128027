#include "aiclient/edits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;

TEST(EditsQueryWire, KeysInFieldOrderOnlyWhenSet) {
  struct Case {
    EditsQuery query;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{.model = "m", .instruction = "Fix it"}, R"({"model":"m","instruction":"Fix it"})"},
      {{.model = Model::code_davinci_edit_001,
        .input = "What day of the wek is it?",
        .instruction = "Fix the spelling mistakes",
        .n = 2,
        .temperature = 0.5,
        .topP = 1},
       R"({"model":"code-davinci-edit-001","input":"What day of the wek is it?",)"
       R"("instruction":"Fix the spelling mistakes","n":2,"temperature":0.5,"top_p":1})"},
  };
  for (const auto& [query, expected] : cases) {
    EXPECT_EQ(orderedWire(query), expected);
    EXPECT_EQ(decode<EditsQuery>(expected), query);
  }
  expectDecodingErrors<EditsQuery>({
      {R"({"model":"m"})", "instruction", Kind::keyNotFound},
      {R"({"instruction":"i"})", "model", Kind::keyNotFound},
      {R"({"model":"m","instruction":"i","n":"2"})", "n", Kind::typeMismatch},
      {R"({"model":"m","instruction":"i","top_p":"1"})", "top_p", Kind::typeMismatch},
  });
}

TEST(EditsResultWire, ReadsTheServiceAnswerAndRequiresUsage) {
  const auto result = decode<EditsResult>(R"({
    "object": "edit",
    "created": 1589478378,
    "choices": [{"text": "What day of the week is it?", "index": 0}, {"text": "B", "index": 1}],
    "usage": {"prompt_tokens": 25, "completion_tokens": 32, "total_tokens": 57}
  })");
  const EditsResult expected{
      .object = "edit",
      .created = 1589478378,
      .choices = {{.text = "What day of the week is it?", .index = 0}, {.text = "B", .index = 1}},
      .usage = {.promptTokens = 25, .completionTokens = 32, .totalTokens = 57}};
  EXPECT_EQ(result, expected);
  EXPECT_EQ(decode<EditsResult>(orderedWire(result)), result);
  EXPECT_EQ(orderedWire(EditsResult{.object = "edit", .created = 0.5}),
            R"({"object":"edit","created":0.5,"choices":[],)"
            R"("usage":{"prompt_tokens":0,"completion_tokens":0,"total_tokens":0}})");

  expectDecodingErrors<EditsResult>({
      {R"({"object":"edit","created":1,"choices":[]})", "usage", Kind::keyNotFound},
      {R"({"object":"edit","created":1,"choices":[{"text":"t"}],"usage":{}})", "choices[0].index",
       Kind::keyNotFound},
      {R"({"object":"edit","created":null,"choices":[],"usage":{}})", "created",
       Kind::valueNotFound},
  });
  EditsResult reordered = expected;
  std::swap(reordered.choices[0], reordered.choices[1]);
  EXPECT_NE(reordered, expected);
}

}  // namespace
}  // namespace tessra::aiclient
