#include "aiclient/models.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aiclient/json_test_support.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;

TEST(ModelPathSegment, TheIdentifierIsOneSegment) {
  struct Case {
    std::string model;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"gpt-4o", "gpt-4o"},
      {"gpt-3.5-turbo", "gpt-3.5-turbo"},
      {"ft:gpt-3.5-turbo:acme:suffix:abc123", "ft:gpt-3.5-turbo:acme:suffix:abc123"},
      {"", ""},
      {"a/b", "a%2Fb"},
      {"../files", "..%2Ffiles"},
      {"..", "%2E%2E"},
      {".", "%2E"},
      {"x?y=1#z", "x%3Fy%3D1%23z"},
      {"100%", "100%25"},
      {"a b", "a%20b"},
      {"é", "%C3%A9"},
  };
  for (const auto& [model, path] : cases) EXPECT_EQ(modelPathSegment(model), path) << model;
}

TEST(ModelRecordsWire, QueryAndResultsRoundTrip) {
  EXPECT_EQ(orderedWire(ModelQuery{"gpt-4"}), R"({"model":"gpt-4"})");
  EXPECT_EQ(decode<ModelQuery>(R"({"model":"gpt-4"})"), ModelQuery{"gpt-4"});

  const auto model = decode<ModelResult>(
      R"({"id":"gpt-4","object":"model","created":1687882411,"owned_by":"openai","extra":1})");
  EXPECT_EQ(
      model,
      (ModelResult{.id = "gpt-4", .created = 1687882411, .object = "model", .ownedBy = "openai"}));
  EXPECT_EQ(orderedWire(model),
            R"({"id":"gpt-4","created":1687882411,"object":"model","owned_by":"openai"})");
  EXPECT_EQ(
      decode<ModelResult>(R"({"id":"x","object":"model","created":0.5,"owned_by":"o"})").created,
      0.5);

  const auto list = decode<ModelsResult>(R"({"object":"list","data":[
      {"id":"a","object":"model","created":1,"owned_by":"system"},
      {"id":"b","object":"model","created":2,"owned_by":"openai-internal"}]})");
  ASSERT_EQ(list.data.size(), 2u);
  EXPECT_EQ(list.data[1].ownedBy, "openai-internal");
  EXPECT_EQ(decode<ModelsResult>(orderedWire(list)), list);
  EXPECT_EQ(decode<ModelsResult>(R"({"object":"list","data":[]})"), ModelsResult{.object = "list"});
  ModelsResult reversed = list;
  std::swap(reversed.data[0], reversed.data[1]);
  EXPECT_NE(reversed, list);
}

TEST(ModelRecordsWire, BadAnswersFail) {
  expectDecodingErrors<ModelResult>({
      {R"({"id":"a","object":"model","created":1})", "owned_by", Kind::keyNotFound},
      {R"({"id":"a","object":"model","created":null,"owned_by":"o"})", "created",
       Kind::valueNotFound},
      {R"({"id":"a","object":"model","created":1,"owned_by":3})", "owned_by", Kind::typeMismatch},
  });
  expectDecodingErrors<ModelsResult>({
      {R"({"data":[]})", "object", Kind::keyNotFound},
      {R"({"object":"list","data":[{"id":"a"}]})", "data[0].created", Kind::keyNotFound},
  });
  expectDecodingErrors<ModelQuery>({{R"({})", "model", Kind::keyNotFound}});
}

}  // namespace
}  // namespace tessra::aiclient
