#include "aiclient/moderations.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Moderation = ModerationsResult::Moderation;

constexpr const char* kKeys[] = {
    "harassment",       "harassment/threatening", "hate",   "hate/threatening", "self-harm",
    "self-harm/intent", "self-harm/instructions", "sexual", "sexual/minors",    "violence",
    "violence/graphic"};

// A "categories" or "category_scores" object: `value` under every key but `skip`, or the
// value `overrides` gives for the key.
std::string categoriesText(const std::string& value, const std::string& skip = "",
                           const std::map<std::string, std::string>& overrides = {}) {
  std::string text = "{";
  for (const std::string key : kKeys) {
    if (key == skip) continue;
    if (text.size() > 1) text += ",";
    const auto override = overrides.find(key);
    text += "\"" + key + "\":" + (override == overrides.end() ? value : override->second);
  }
  return text + "}";
}

std::string answer(const std::string& categories, const std::string& scores) {
  return R"({"id":"modr-XXXXX","model":"text-moderation-007","results":[{"flagged":true,)"
         R"("categories":)" +
         categories + R"(,"category_scores":)" + scores + "}]}";
}

TEST(ModerationsQueryWire, ModelOnlyWhenSet) {
  EXPECT_EQ(orderedWire(ModerationsQuery{.input = "I want to"}), R"({"input":"I want to"})");
  const ModerationsQuery query{.input = "x", .model = Model::text_moderation_latest};
  EXPECT_EQ(orderedWire(query), R"({"input":"x","model":"text-moderation-latest"})");
  EXPECT_EQ(decode<ModerationsQuery>(orderedWire(query)), query);
  EXPECT_EQ(decode<ModerationsQuery>(R"({"input":"x","model":null})"), ModerationsQuery{"x"});
  expectDecodingErrors<ModerationsQuery>({{R"({"model":"m"})", "input", Kind::keyNotFound}});
}

TEST(ModerationsResultWire, ReadsTheServiceAnswerAndWalksItInKeyOrder) {
  const std::string categories = categoriesText("false", "", {{"self-harm/intent", "true"}});
  const std::string scores = categoriesText("0.0001", "", {{"hate/threatening", "0.25"}});

  const auto result = decode<ModerationsResult>(answer(categories, scores));
  EXPECT_EQ(result.id, "modr-XXXXX");
  EXPECT_EQ(result.model, "text-moderation-007");
  ASSERT_EQ(result.results.size(), 1u);
  const Moderation& moderation = result.results[0];
  EXPECT_TRUE(moderation.flagged);
  EXPECT_TRUE(moderation.categories.selfHarmIntent);
  EXPECT_EQ(moderation.categoryScores.hateThreatening, 0.25);

  const auto flags = moderation.categories.pairs();
  ASSERT_EQ(flags.size(), 11u);
  for (std::size_t i = 0; i < flags.size(); ++i) {
    EXPECT_EQ(flags[i].first, kKeys[i]);
    EXPECT_EQ(flags[i].second, i == 5) << kKeys[i];
  }
  const auto walkedScores = moderation.categoryScores.pairs();
  for (std::size_t i = 0; i < walkedScores.size(); ++i) {
    EXPECT_EQ(walkedScores[i].first, kKeys[i]);
    EXPECT_EQ(walkedScores[i].second, i == 3 ? 0.25 : 0.0001) << kKeys[i];
  }
  EXPECT_EQ(decode<ModerationsResult>(orderedWire(result)), result);
  EXPECT_EQ(orderedWire(Moderation::Categories{.violenceGraphic = true}),
            platform::encodeJson(
                OrderedJson::parse(categoriesText("false", "", {{"violence/graphic", "true"}}))));
}

TEST(ModerationsResultWire, EveryCategoryKeyIsRequiredAsSpelled) {
  expectDecodingErrors<ModerationsResult>({
      {answer(categoriesText("false", "violence/graphic"), categoriesText("0")),
       "results[0].categories.violence/graphic", Kind::keyNotFound},
      {answer(categoriesText("false", "self-harm").insert(1, R"("self_harm":false,)"),
              categoriesText("0")),
       "results[0].categories.self-harm", Kind::keyNotFound},
      {answer(categoriesText("0"), categoriesText("0")), "results[0].categories.harassment",
       Kind::typeMismatch},
      {answer(categoriesText("false"), categoriesText("\"0.5\"")),
       "results[0].category_scores.harassment", Kind::typeMismatch},
      {R"({"id":"i","model":"m","results":[{"categories":)" + categoriesText("false") +
           R"(,"category_scores":)" + categoriesText("0") + "}]}",
       "results[0].flagged", Kind::keyNotFound},
      {R"({"id":"i","model":"m"})", "results", Kind::keyNotFound},
  });
  EXPECT_EQ(decode<ModerationsResult>(R"({"id":"i","model":"m","results":[]})"),
            (ModerationsResult{.id = "i", .model = "m"}));
}

}  // namespace
}  // namespace tessra::aiclient
