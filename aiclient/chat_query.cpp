#include "aiclient/chat_query.h"

namespace tessra::aiclient {

namespace {

using platform::JsonDecodingError;
using platform::optionalField;
using platform::putOptional;
using platform::requiredField;

}  // namespace

void to_json(nlohmann::json& j, const ChatQuery::StreamOptions& value) {
  j = {{"include_usage", value.includeUsage}};
}

void from_json(const nlohmann::json& j, ChatQuery::StreamOptions& value) {
  value.includeUsage = requiredField<bool>(j, "include_usage");
}

void to_json(nlohmann::json& j, const ChatQuery::ResponseFormat& value) {
  j = {{"type", std::string(rawValue(value))}};
}

void from_json(const nlohmann::json& j, ChatQuery::ResponseFormat& value) {
  const auto type = requiredField<std::string>(j, "type");
  if (const auto format = fromRawValue<ChatQuery::ResponseFormat>(type)) {
    value = *format;
    return;
  }
  throw JsonDecodingError(JsonDecodingError::Kind::dataCorrupted, "type",
                          "Cannot initialize ResponseFormat from invalid String value " + type);
}

void to_json(nlohmann::json& j, const ChatQuery::Stop& value) {
  std::visit([&j](const auto& stop) { j = stop; }, value.value);
}

void from_json(const nlohmann::json& j, ChatQuery::Stop& value) {
  if (j.is_string()) {
    value = ChatQuery::Stop(j.get<std::string>());
    return;
  }
  if (!j.is_array())
    throw JsonDecodingError(
        JsonDecodingError::Kind::typeMismatch, "",
        "expected a string or an array of strings, found " + platform::describeJsonValue(j));
  value = ChatQuery::Stop(platform::decodeValue<std::vector<std::string>>(j));
}

void to_json(nlohmann::json& j, const ChatQuery& value) {
  j = {{"messages", value.messages}, {"model", value.model}};
  putOptional(j, "frequency_penalty", value.frequencyPenalty);
  putOptional(j, "logit_bias", value.logitBias);
  putOptional(j, "logprobs", value.logprobs);
  putOptional(j, "max_tokens", value.maxTokens);
  putOptional(j, "n", value.n);
  putOptional(j, "presence_penalty", value.presencePenalty);
  putOptional(j, "response_format", value.responseFormat);
  putOptional(j, "seed", value.seed);
  putOptional(j, "stop", value.stop);
  putOptional(j, "temperature", value.temperature);
  putOptional(j, "tool_choice", value.toolChoice);
  putOptional(j, "tools", value.tools);
  putOptional(j, "top_logprobs", value.topLogprobs);
  putOptional(j, "top_p", value.topP);
  putOptional(j, "user", value.user);
  j["stream"] = value.stream;
  putOptional(j, "stream_options", value.streamOptions);
}

void from_json(const nlohmann::json& j, ChatQuery& value) {
  ChatQuery query;
  query.messages = requiredField<std::vector<ChatCompletionMessageParam>>(j, "messages");
  query.model = requiredField<std::string>(j, "model");
  query.frequencyPenalty = optionalField<double>(j, "frequency_penalty");
  query.logitBias = optionalField<std::map<std::string, std::int64_t>>(j, "logit_bias");
  query.logprobs = optionalField<bool>(j, "logprobs");
  query.maxTokens = optionalField<std::int64_t>(j, "max_tokens");
  query.n = optionalField<std::int64_t>(j, "n");
  query.presencePenalty = optionalField<double>(j, "presence_penalty");
  query.responseFormat = optionalField<ChatQuery::ResponseFormat>(j, "response_format");
  query.seed = optionalField<std::int64_t>(j, "seed");
  query.stop = optionalField<ChatQuery::Stop>(j, "stop");
  query.temperature = optionalField<double>(j, "temperature");
  query.toolChoice = optionalField<ChatCompletionFunctionCallOptionParam>(j, "tool_choice");
  query.tools = optionalField<std::vector<ChatCompletionToolParam>>(j, "tools");
  query.topLogprobs = optionalField<std::int64_t>(j, "top_logprobs");
  query.topP = optionalField<double>(j, "top_p");
  query.user = optionalField<std::string>(j, "user");
  query.stream = requiredField<bool>(j, "stream");
  query.streamOptions = optionalField<ChatQuery::StreamOptions>(j, "stream_options");
  value = std::move(query);
}

}  // namespace tessra::aiclient
