#include "aiclient/completions.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;
using Choice = CompletionsResult::Choice;
using Usage = CompletionsResult::Usage;

}  // namespace

void to_json(OrderedJson& j, const CompletionsQuery& value) {
  j = {{"model", value.model}, {"prompt", value.prompt}, {"stream", value.stream}};
  platform::putOptional(j, "temperature", value.temperature);
  platform::putOptional(j, "max_tokens", value.maxTokens);
  platform::putOptional(j, "top_p", value.topP);
  platform::putOptional(j, "frequency_penalty", value.frequencyPenalty);
  platform::putOptional(j, "presence_penalty", value.presencePenalty);
  platform::putOptional(j, "stop", value.stop);
  platform::putOptional(j, "user", value.user);
}

void from_json(const nlohmann::json& j, CompletionsQuery& value) {
  CompletionsQuery query;
  query.model = requiredField<std::string>(j, "model");
  query.prompt = requiredField<std::string>(j, "prompt");
  query.temperature = optionalField<double>(j, "temperature");
  query.maxTokens = optionalField<std::int64_t>(j, "max_tokens");
  query.topP = optionalField<double>(j, "top_p");
  query.frequencyPenalty = optionalField<double>(j, "frequency_penalty");
  query.presencePenalty = optionalField<double>(j, "presence_penalty");
  query.stop = optionalField<std::vector<std::string>>(j, "stop");
  query.user = optionalField<std::string>(j, "user");
  query.stream = requiredField<bool>(j, "stream");
  value = std::move(query);
}

void to_json(OrderedJson& j, const Choice& value) {
  j = {{"text", value.text}, {"index", value.index}};
  platform::putOptional(j, "finish_reason", value.finishReason);
}

void from_json(const nlohmann::json& j, Choice& value) {
  Choice choice;
  choice.text = requiredField<std::string>(j, "text");
  choice.index = requiredField<std::int64_t>(j, "index");
  choice.finishReason = optionalField<std::string>(j, "finish_reason");
  value = std::move(choice);
}

void to_json(OrderedJson& j, const CompletionsResult& value) {
  j = {{"id", value.id},
       {"object", value.object},
       {"created", value.created},
       {"model", value.model},
       {"choices", value.choices}};
  platform::putOptional(j, "usage", value.usage);
}

void from_json(const nlohmann::json& j, CompletionsResult& value) {
  CompletionsResult result;
  result.id = requiredField<std::string>(j, "id");
  result.object = requiredField<std::string>(j, "object");
  result.created = requiredField<double>(j, "created");
  result.model = requiredField<std::string>(j, "model");
  result.choices = requiredField<std::vector<Choice>>(j, "choices");
  result.usage = optionalField<Usage>(j, "usage");
  value = std::move(result);
}

}  // namespace tessra::aiclient
