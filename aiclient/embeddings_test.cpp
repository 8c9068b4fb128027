#include "aiclient/embeddings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Input = EmbeddingsQuery::Input;
using Format = EmbeddingsQuery::EncodingFormat;

TEST(EmbeddingsInput, WrittenBareAndReadBackTheSame) {
  struct Case {
    Input input;
    std::string bare;
  };
  const std::vector<Case> cases = {
      {Input::string("The food was delicious"), R"("The food was delicious")"},
      {Input::string(""), R"("")"},
      {Input::stringList({"a", "b"}), R"(["a","b"])"},
      {Input::stringList({}), "[]"},
      {Input::intList({1212, 318, -1}), "[1212,318,-1]"},
      {Input::intMatrix({{1, 2}, {3}}), "[[1,2],[3]]"},
      {Input::intMatrix({{}}), "[[]]"},
  };
  for (const auto& [input, bare] : cases) {
    SCOPED_TRACE(bare);
    EXPECT_EQ(orderedWire(input), bare);
    EXPECT_EQ(decode<Input>(bare), input);
  }
}

TEST(EmbeddingsInput, ReadsTheKeyedFormToo) {
  EXPECT_EQ(decode<Input>(R"({"stringList":{"_0":["a","b"]}})"), Input::stringList({"a", "b"}));
  EXPECT_EQ(decode<Input>(R"({"string":{"_0":"1"},"other":true})"), Input::string("1"));
  EXPECT_EQ(decode<Input>(R"({"intList":{"_0":[1]}})"), Input::intList({1}));
  EXPECT_EQ(decode<Input>(R"({"intMatrix":{"_0":[[1],[]]}})"), Input::intMatrix({{1}, {}}));

  for (const std::string text : {R"({})", R"({"string":{"_0":"a"},"intList":{"_0":[1]}})"}) {
    SCOPED_TRACE(text);
    const auto error = decodingError<Input>(text);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), Kind::typeMismatch);
    EXPECT_EQ(error->codingPath(), "");
    EXPECT_EQ(error->detail(), "Invalid number of keys found, expected one.");
  }
  expectDecodingErrors<Input>({
      {R"({"string":{"0":"a"}})", "string._0", Kind::keyNotFound},
      {R"({"string":"a"})", "string", Kind::typeMismatch},
      {R"({"intList":{"_0":["1"]}})", "intList._0[0]", Kind::typeMismatch},
      {R"(["a",1])", "[1]", Kind::typeMismatch},
      {R"([1,"a"])", "[1]", Kind::typeMismatch},
      {R"([1.5])", "[0]", Kind::typeMismatch},
      {R"([[1],2])", "[1]", Kind::typeMismatch},
      {"7", "", Kind::typeMismatch},
  });
  const auto nested = decodingError<EmbeddingsQuery>(R"({"input":{},"model":"m"})");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->codingPath(), "input");
}

TEST(EmbeddingsQueryWire, KeysInOrderOnlyWhenSet) {
  struct Case {
    EmbeddingsQuery query;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{.input = Input::string("x"), .model = Model::text_embedding_ada_002},
       R"({"input":"x","model":"text-embedding-ada-002"})"},
      {{.input = Input::intMatrix({{1, 2}, {3, 4}}),
        .model = "m",
        .encodingFormat = Format::float_,
        .user = "u"},
       R"({"input":[[1,2],[3,4]],"model":"m","encoding_format":"float","user":"u"})"},
      {{.input = Input::stringList({}), .model = "m", .encodingFormat = Format::base64},
       R"({"input":[],"model":"m","encoding_format":"base64"})"},
  };
  for (const auto& [query, expected] : cases) {
    EXPECT_EQ(orderedWire(query), expected);
    EXPECT_EQ(decode<EmbeddingsQuery>(expected), query);
  }
  EXPECT_EQ(
      decode<EmbeddingsQuery>(R"({"input":"x","model":"m","encoding_format":null,"user":null})"),
      (EmbeddingsQuery{.input = Input::string("x"), .model = "m"}));
  expectDecodingErrors<EmbeddingsQuery>({
      {R"({"model":"m"})", "input", Kind::keyNotFound},
      {R"({"input":"x"})", "model", Kind::keyNotFound},
      {R"({"input":"x","model":"m","encoding_format":"int8"})", "encoding_format",
       Kind::dataCorrupted},
  });
  EXPECT_EQ(fromRawValue<Format>("float"), Format::float_);
  EXPECT_EQ(fromRawValue<Format>("Float"), std::nullopt);
}

TEST(EmbeddingsResultWire, ReadsTheServiceAnswer) {
  const auto result = decode<EmbeddingsResult>(R"({
    "object": "list",
    "data": [
      {"object": "embedding", "embedding": [0.0023064255, -0.009327292, 1], "index": 0},
      {"object": "embedding", "embedding": [], "index": 1}
    ],
    "model": "text-embedding-ada-002",
    "usage": {"prompt_tokens": 8, "total_tokens": 8}
  })");
  const EmbeddingsResult expected{
      .data = {{.object = "embedding", .embedding = {0.0023064255, -0.009327292, 1}, .index = 0},
               {.object = "embedding", .index = 1}},
      .model = "text-embedding-ada-002",
      .usage = {.promptTokens = 8, .totalTokens = 8},
      .object = "list"};
  EXPECT_EQ(result, expected);
  EXPECT_EQ(decode<EmbeddingsResult>(orderedWire(result)), result);
  EXPECT_EQ(
      decode<EmbeddingsResult>(
          R"({"data":[],"model":"m","usage":{"prompt_tokens":0,"total_tokens":0},"object":"list"})"),
      (EmbeddingsResult{.model = "m", .object = "list"}));
  expectDecodingErrors<EmbeddingsResult>({
      {R"({"data":[],"model":"m","object":"list"})", "usage", Kind::keyNotFound},
      {R"({"data":[{"object":"embedding","embedding":"AAAA","index":0}],"model":"m",)"
       R"("usage":{"prompt_tokens":0,"total_tokens":0},"object":"list"})",
       "data[0].embedding", Kind::typeMismatch},
      {R"({"data":[],"model":"m","usage":{"prompt_tokens":0},"object":"list"})",
       "usage.total_tokens", Kind::keyNotFound},
  });
}

}  // namespace
}  // namespace tessra::aiclient
