#include "aiclient/moderations.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;
using Moderation = ModerationsResult::Moderation;

template <class Value>
void writeCategories(OrderedJson& j, const Moderation::PerCategory<Value>& value) {
  j = OrderedJson::object();
  for (const auto& [key, item] : value.pairs()) j[std::string(key)] = item;
}

template <class Value>
void readCategories(const nlohmann::json& j, Moderation::PerCategory<Value>& value) {
  Moderation::PerCategory<Value> read;
  for (std::size_t i = 0; i < read.kFields.size(); ++i) {
    const std::string_view key = RawValues<Moderation::CategoryKey>::table[i].second;
    read.*read.kFields[i] = requiredField<Value>(j, key);
  }
  value = read;
}

}  // namespace

void to_json(OrderedJson& j, const ModerationsQuery& value) {
  j = {{"input", value.input}};
  platform::putOptional(j, "model", value.model);
}

void from_json(const nlohmann::json& j, ModerationsQuery& value) {
  ModerationsQuery query;
  query.input = requiredField<std::string>(j, "input");
  query.model = optionalField<std::string>(j, "model");
  value = std::move(query);
}

void to_json(OrderedJson& j, const Moderation::Categories& value) { writeCategories(j, value); }

void from_json(const nlohmann::json& j, Moderation::Categories& value) { readCategories(j, value); }

void to_json(OrderedJson& j, const Moderation::CategoryScores& value) { writeCategories(j, value); }

void from_json(const nlohmann::json& j, Moderation::CategoryScores& value) {
  readCategories(j, value);
}

void to_json(OrderedJson& j, const Moderation& value) {
  j = {{"categories", value.categories},
       {"category_scores", value.categoryScores},
       {"flagged", value.flagged}};
}

void from_json(const nlohmann::json& j, Moderation& value) {
  Moderation moderation;
  moderation.categories = requiredField<Moderation::Categories>(j, "categories");
  moderation.categoryScores = requiredField<Moderation::CategoryScores>(j, "category_scores");
  moderation.flagged = requiredField<bool>(j, "flagged");
  value = moderation;
}

void to_json(OrderedJson& j, const ModerationsResult& value) {
  j = {{"id", value.id}, {"model", value.model}, {"results", value.results}};
}

void from_json(const nlohmann::json& j, ModerationsResult& value) {
  ModerationsResult result;
  result.id = requiredField<std::string>(j, "id");
  result.model = requiredField<std::string>(j, "model");
  result.results = requiredField<std::vector<Moderation>>(j, "results");
  value = std::move(result);
}

}  // namespace tessra::aiclient
