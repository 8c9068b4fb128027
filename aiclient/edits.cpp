#include "aiclient/edits.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;
using Choice = EditsResult::Choice;
using Usage = EditsResult::Usage;

}  // namespace

void to_json(OrderedJson& j, const EditsQuery& value) {
  j = {{"model", value.model}};
  platform::putOptional(j, "input", value.input);
  j["instruction"] = value.instruction;
  platform::putOptional(j, "n", value.n);
  platform::putOptional(j, "temperature", value.temperature);
  platform::putOptional(j, "top_p", value.topP);
}

void from_json(const nlohmann::json& j, EditsQuery& value) {
  EditsQuery query;
  query.model = requiredField<std::string>(j, "model");
  query.input = optionalField<std::string>(j, "input");
  query.instruction = requiredField<std::string>(j, "instruction");
  query.n = optionalField<std::int64_t>(j, "n");
  query.temperature = optionalField<double>(j, "temperature");
  query.topP = optionalField<double>(j, "top_p");
  value = std::move(query);
}

void to_json(OrderedJson& j, const Choice& value) {
  j = {{"text", value.text}, {"index", value.index}};
}

void from_json(const nlohmann::json& j, Choice& value) {
  Choice choice;
  choice.text = requiredField<std::string>(j, "text");
  choice.index = requiredField<std::int64_t>(j, "index");
  value = std::move(choice);
}

void to_json(OrderedJson& j, const EditsResult& value) {
  j = {{"object", value.object},
       {"created", value.created},
       {"choices", value.choices},
       {"usage", value.usage}};
}

void from_json(const nlohmann::json& j, EditsResult& value) {
  EditsResult result;
  result.object = requiredField<std::string>(j, "object");
  result.created = requiredField<double>(j, "created");
  result.choices = requiredField<std::vector<Choice>>(j, "choices");
  result.usage = requiredField<Usage>(j, "usage");
  value = std::move(result);
}

}  // namespace tessra::aiclient
