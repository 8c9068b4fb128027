// The moderation request and its answer, POSTed as JSON to "/v1/moderations": per input, whether
// it was flagged, a verdict per category and a score per category.
//
//   for (const auto& [key, flagged] : result.results[0].categories.pairs()) ...
//
// The categories and their scores can be walked as (key, value) pairs in a fixed order; the
// keys are the service's ("self-harm/intent"), not the field names.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "aiclient/ordered_json.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ModerationsQuery {
  // The text to classify.
  std::string input{};
  std::optional<std::string> model{};

  bool operator==(const ModerationsQuery&) const = default;
};

struct ModerationsResult {
  struct Moderation {
    // The eleven categories, in the order in which records list and walk them.
    enum class CategoryKey {
      harassment,
      harassmentThreatening,
      hate,
      hateThreatening,
      selfHarm,
      selfHarmIntent,
      selfHarmInstructions,
      sexual,
      sexualMinors,
      violence,
      violenceGraphic,
    };

    // A flag or a score per category, under the same field names.
    template <class Value>
    struct PerCategory {
      using CodingKeys = CategoryKey;

      Value harassment{};
      Value harassmentThreatening{};
      Value hate{};
      Value hateThreatening{};
      Value selfHarm{};
      Value selfHarmIntent{};
      Value selfHarmInstructions{};
      Value sexual{};
      Value sexualMinors{};
      Value violence{};
      Value violenceGraphic{};

      // The field of each category, in the order of `CategoryKey`.
      static constexpr std::array<Value PerCategory::*, 11> kFields{
          &PerCategory::harassment,
          &PerCategory::harassmentThreatening,
          &PerCategory::hate,
          &PerCategory::hateThreatening,
          &PerCategory::selfHarm,
          &PerCategory::selfHarmIntent,
          &PerCategory::selfHarmInstructions,
          &PerCategory::sexual,
          &PerCategory::sexualMinors,
          &PerCategory::violence,
          &PerCategory::violenceGraphic,
      };

      // The eleven (key, value) pairs, in the order of `CategoryKey`.
      std::array<std::pair<std::string_view, Value>, 11> pairs() const;

      bool operator==(const PerCategory&) const = default;
    };

    using Categories = PerCategory<bool>;
    using CategoryScores = PerCategory<double>;

    Categories categories{};
    CategoryScores categoryScores{};
    bool flagged = false;

    bool operator==(const Moderation&) const = default;
  };

  std::string id{};
  std::string model{};
  std::vector<Moderation> results{};

  bool operator==(const ModerationsResult&) const = default;
};

template <>
struct RawValues<ModerationsResult::Moderation::CategoryKey> {
  using Key = ModerationsResult::Moderation::CategoryKey;
  static constexpr std::string_view typeName = "CategoryKey";
  static constexpr std::array table{
      std::pair{Key::harassment, std::string_view("harassment")},
      std::pair{Key::harassmentThreatening, std::string_view("harassment/threatening")},
      std::pair{Key::hate, std::string_view("hate")},
      std::pair{Key::hateThreatening, std::string_view("hate/threatening")},
      std::pair{Key::selfHarm, std::string_view("self-harm")},
      std::pair{Key::selfHarmIntent, std::string_view("self-harm/intent")},
      std::pair{Key::selfHarmInstructions, std::string_view("self-harm/instructions")},
      std::pair{Key::sexual, std::string_view("sexual")},
      std::pair{Key::sexualMinors, std::string_view("sexual/minors")},
      std::pair{Key::violence, std::string_view("violence")},
      std::pair{Key::violenceGraphic, std::string_view("violence/graphic")},
  };
};

template <class Value>
std::array<std::pair<std::string_view, Value>, 11>
ModerationsResult::Moderation::PerCategory<Value>::pairs() const {
  std::array<std::pair<std::string_view, Value>, 11> result{};
  for (std::size_t i = 0; i < result.size(); ++i) {
    result[i] = {RawValues<CategoryKey>::table[i].second, this->*kFields[i]};
  }
  return result;
}

// "input", then "model" when set.
void to_json(OrderedJson& j, const ModerationsQuery& value);
void from_json(const nlohmann::json& j, ModerationsQuery& value);
void to_json(OrderedJson& j, const ModerationsResult::Moderation::Categories& value);
void from_json(const nlohmann::json& j, ModerationsResult::Moderation::Categories& value);
void to_json(OrderedJson& j, const ModerationsResult::Moderation::CategoryScores& value);
void from_json(const nlohmann::json& j, ModerationsResult::Moderation::CategoryScores& value);
void to_json(OrderedJson& j, const ModerationsResult::Moderation& value);
void from_json(const nlohmann::json& j, ModerationsResult::Moderation& value);
void to_json(OrderedJson& j, const ModerationsResult& value);
void from_json(const nlohmann::json& j, ModerationsResult& value);

}  // namespace tessra::aiclient
