#include "aiclient/chat_result.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;
using Choice = ChatResult::Choice;
using ChoiceLogprobs = Choice::ChoiceLogprobs;
using TokenLogprob = ChoiceLogprobs::ChatCompletionTokenLogprob;
using TopLogprob = TokenLogprob::TopLogprob;

}  // namespace

void to_json(nlohmann::json& j, const Choice::FinishReason& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, Choice::FinishReason& value) {
  value = readRawValue<Choice::FinishReason>(j);
}

void to_json(nlohmann::json& j, const TopLogprob& value) {
  j = {{"token", value.token}, {"logprob", value.logprob}};
  putOptional(j, "bytes", value.bytes);
}

void from_json(const nlohmann::json& j, TopLogprob& value) {
  TopLogprob top;
  top.token = requiredField<std::string>(j, "token");
  top.bytes = optionalField<std::vector<std::int64_t>>(j, "bytes");
  top.logprob = requiredField<double>(j, "logprob");
  value = std::move(top);
}

void to_json(nlohmann::json& j, const TokenLogprob& value) {
  j = {{"token", value.token}, {"logprob", value.logprob}, {"top_logprobs", value.topLogprobs}};
  putOptional(j, "bytes", value.bytes);
}

void from_json(const nlohmann::json& j, TokenLogprob& value) {
  TokenLogprob token;
  token.token = requiredField<std::string>(j, "token");
  token.bytes = optionalField<std::vector<std::int64_t>>(j, "bytes");
  token.logprob = requiredField<double>(j, "logprob");
  token.topLogprobs = requiredField<std::vector<TopLogprob>>(j, "top_logprobs");
  value = std::move(token);
}

void to_json(nlohmann::json& j, const ChoiceLogprobs& value) {
  j = nlohmann::json::object();
  putOptional(j, "content", value.content);
}

void from_json(const nlohmann::json& j, ChoiceLogprobs& value) {
  value.content = optionalField<std::vector<TokenLogprob>>(j, "content");
}

void to_json(nlohmann::json& j, const Choice& value) {
  j = {{"index", value.index}, {"message", value.message}};
  putOptional(j, "logprobs", value.logprobs);
  putOptional(j, "finish_reason", value.finishReason);
}

void from_json(const nlohmann::json& j, Choice& value) {
  Choice choice;
  choice.index = requiredField<std::int64_t>(j, "index");
  choice.logprobs = optionalField<ChoiceLogprobs>(j, "logprobs");
  choice.message = requiredField<ChatCompletionMessageParam>(j, "message");
  choice.finishReason = optionalField<std::string>(j, "finish_reason");
  value = std::move(choice);
}

void to_json(nlohmann::json& j, const ChatResult::CompletionUsage& value) {
  j = {{"completion_tokens", value.completionTokens},
       {"prompt_tokens", value.promptTokens},
       {"total_tokens", value.totalTokens}};
}

void from_json(const nlohmann::json& j, ChatResult::CompletionUsage& value) {
  ChatResult::CompletionUsage usage;
  usage.completionTokens = requiredField<std::int64_t>(j, "completion_tokens");
  usage.promptTokens = requiredField<std::int64_t>(j, "prompt_tokens");
  usage.totalTokens = requiredField<std::int64_t>(j, "total_tokens");
  value = usage;
}

void to_json(nlohmann::json& j, const ChatResult& value) {
  j = {{"id", value.id},
       {"object", value.object},
       {"created", value.created},
       {"model", value.model},
       {"choices", value.choices}};
  putOptional(j, "usage", value.usage);
  putOptional(j, "system_fingerprint", value.systemFingerprint);
}

void from_json(const nlohmann::json& j, ChatResult& value) {
  ChatResult result;
  result.id = requiredField<std::string>(j, "id");
  result.object = requiredField<std::string>(j, "object");
  result.created = requiredField<double>(j, "created");
  result.model = requiredField<std::string>(j, "model");
  result.choices = requiredField<std::vector<Choice>>(j, "choices");
  result.usage = optionalField<ChatResult::CompletionUsage>(j, "usage");
  result.systemFingerprint = optionalField<std::string>(j, "system_fingerprint");
  value = std::move(result);
}

}  // namespace tessra::aiclient
