#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string_view>

#include "aiclient/images_query.h"
#include "aiclient/images_result.h"
#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;

TEST(ImagesQueryWire, WritesOnlyWhatIsSet) {
  struct Case {
    ImagesQuery query;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{.prompt = "a cat"}, R"({"prompt":"a cat"})"},
      {{.prompt = "a cat",
        .model = Model::dall_e_3,
        .responseFormat = ImagesQuery::ResponseFormat::url,
        .n = 1,
        .size = ImagesQuery::Size::_1024},
       R"({"model":"dall-e-3","n":1,"prompt":"a cat","response_format":"url","size":"1024x1024"})"},
      {{.prompt = "p", .n = 0}, R"({"n":0,"prompt":"p"})"},
      {{.prompt = "p", .n = -3}, R"({"n":-3,"prompt":"p"})"},
      {{.prompt = "p",
        .model = Model::dall_e_2,
        .responseFormat = ImagesQuery::ResponseFormat::b64_json,
        .size = ImagesQuery::Size::_1792_1024,
        .user = "u/1",
        .style = ImagesQuery::Style::vivid,
        .quality = ImagesQuery::Quality::hd},
       R"({"model":"dall-e-2","prompt":"p","quality":"hd","response_format":"b64_json",)"
       R"("size":"1792x1024","style":"vivid","user":"u\/1"})"},
  };
  for (const auto& [query, expected] : cases) {
    EXPECT_EQ(wire(query), expected);
    EXPECT_EQ(decode<ImagesQuery>(expected), query);
  }
}

TEST(ImagesQueryWire, ReadsNullAsAbsentAndRejectsWhatIsNotListed) {
  EXPECT_EQ(decode<ImagesQuery>(R"({"prompt":"p","n":null,"style":null,"size":"256x256"})"),
            (ImagesQuery{.prompt = "p", .size = ImagesQuery::Size::_256}));
  expectDecodingErrors<ImagesQuery>({
      {R"({"model":"dall-e-3"})", "prompt", Kind::keyNotFound},
      {R"({"prompt":null})", "prompt", Kind::valueNotFound},
      {R"({"prompt":"p","size":"1024X1024"})", "size", Kind::dataCorrupted},
      {R"({"prompt":"p","quality":"HD"})", "quality", Kind::dataCorrupted},
      {R"({"prompt":"p","style":"Vivid"})", "style", Kind::dataCorrupted},
      {R"({"prompt":"p","response_format":"png"})", "response_format", Kind::dataCorrupted},
      {R"({"prompt":"p","n":1.5})", "n", Kind::typeMismatch},
      {R"({"prompt":"p","n":"1"})", "n", Kind::typeMismatch},
      {R"({"prompt":"p","n":9223372036854775808})", "n", Kind::typeMismatch},
  });
}

TEST(ImagesResultWire, ReadsTheImagesInOrder) {
  const auto result = decode<ImagesResult>(
      R"({"created":1715000000,"data":[{"url":"https://img/1.png","revised_prompt":"a cat, sitting"},)"
      R"({},{"url":"u","b64_json":"AAAA","extra":1}]})");
  EXPECT_EQ(result.created, 1715000000.0);
  ASSERT_EQ(result.data.size(), 3u);
  EXPECT_EQ(result.data[0].url, "https://img/1.png");
  EXPECT_EQ(result.data[0].revisedPrompt, "a cat, sitting");
  EXPECT_EQ(result.data[1], ImagesResult::Image{});
  EXPECT_EQ(result.data[2].b64Json, "AAAA");
  EXPECT_EQ(result.data[2].url, "u");
  EXPECT_EQ(decode<ImagesResult>(wire(result)), result);
  EXPECT_EQ(decode<ImagesResult>(R"({"created":1.5,"data":[]})"), (ImagesResult{.created = 1.5}));
}

TEST(ImagesResultWire, BadResultsFail) {
  expectDecodingErrors<ImagesResult>({
      {R"({"created":1})", "data", Kind::keyNotFound},
      {R"({"data":[]})", "created", Kind::keyNotFound},
      {R"({"created":1,"data":[{"url":3}]})", "data[0].url", Kind::typeMismatch},
      {R"({"created":1,"data":{}})", "data", Kind::typeMismatch},
  });
}

}  // namespace
}  // namespace tessra::aiclient
