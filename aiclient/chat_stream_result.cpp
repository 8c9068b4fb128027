#include "aiclient/chat_stream_result.h"

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;
using Choice = ChatStreamResult::Choice;
using ChoiceDelta = Choice::ChoiceDelta;
using ToolCall = ChoiceDelta::ChoiceDeltaToolCall;
using ToolCallFunction = ToolCall::ChoiceDeltaToolCallFunction;
using ChoiceLogprobs = Choice::ChoiceLogprobs;
using TokenLogprob = ChoiceLogprobs::ChatCompletionTokenLogprob;
using TopLogprob = TokenLogprob::TopLogprob;
using Role = ChatCompletionMessageParam::Role;

}  // namespace

void to_json(nlohmann::json& j, const ToolCallFunction& value) {
  j = nlohmann::json::object();
  putOptional(j, "arguments", value.arguments);
  putOptional(j, "name", value.name);
}

void from_json(const nlohmann::json& j, ToolCallFunction& value) {
  ToolCallFunction function;
  function.arguments = optionalField<std::string>(j, "arguments");
  function.name = optionalField<std::string>(j, "name");
  value = std::move(function);
}

void to_json(nlohmann::json& j, const ToolCall& value) {
  j = {{"index", value.index}};
  putOptional(j, "id", value.id);
  putOptional(j, "function", value.function);
  putOptional(j, "type", value.type);
}

void from_json(const nlohmann::json& j, ToolCall& value) {
  ToolCall call;
  call.index = requiredField<std::int64_t>(j, "index");
  call.id = optionalField<std::string>(j, "id");
  call.function = optionalField<ToolCallFunction>(j, "function");
  call.type = optionalField<std::string>(j, "type");
  value = std::move(call);
}

void to_json(nlohmann::json& j, const ChoiceDelta& value) {
  j = nlohmann::json::object();
  putOptional(j, "content", value.content);
  putOptional(j, "role", value.role);
  putOptional(j, "tool_calls", value.toolCalls);
}

void from_json(const nlohmann::json& j, ChoiceDelta& value) {
  ChoiceDelta delta;
  delta.content = optionalField<std::string>(j, "content");
  delta.role = optionalField<OpenEnum<Role>>(j, "role");
  delta.toolCalls = optionalField<std::vector<ToolCall>>(j, "tool_calls");
  value = std::move(delta);
}

void to_json(nlohmann::json& j, const TokenLogprob& value) {
  j = {{"token", value.token}, {"logprob", value.logprob}};
  putOptional(j, "bytes", value.bytes);
  putOptional(j, "top_logprobs", value.topLogprobs);
}

void from_json(const nlohmann::json& j, TokenLogprob& value) {
  TokenLogprob token;
  token.token = requiredField<std::string>(j, "token");
  token.bytes = optionalField<std::vector<std::int64_t>>(j, "bytes");
  token.logprob = requiredField<double>(j, "logprob");
  token.topLogprobs = optionalField<std::vector<TopLogprob>>(j, "top_logprobs");
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
  j = {{"index", value.index}, {"delta", value.delta}};
  putOptional(j, "finish_reason", value.finishReason);
  putOptional(j, "logprobs", value.logprobs);
}

void from_json(const nlohmann::json& j, Choice& value) {
  Choice choice;
  choice.index = requiredField<std::int64_t>(j, "index");
  choice.delta = requiredField<ChoiceDelta>(j, "delta");
  choice.finishReason = optionalField<OpenEnum<Choice::FinishReason>>(j, "finish_reason");
  choice.logprobs = optionalField<ChoiceLogprobs>(j, "logprobs");
  value = std::move(choice);
}

void to_json(nlohmann::json& j, const ChatStreamResult& value) {
  j = {{"id", value.id},
       {"object", value.object},
       {"created", value.created},
       {"model", value.model},
       {"choices", value.choices}};
  putOptional(j, "system_fingerprint", value.systemFingerprint);
  putOptional(j, "usage", value.usage);
}

void from_json(const nlohmann::json& j, ChatStreamResult& value) {
  ChatStreamResult chunk;
  chunk.id = requiredField<std::string>(j, "id");
  chunk.object = requiredField<std::string>(j, "object");
  chunk.created = requiredField<double>(j, "created");
  chunk.model = requiredField<std::string>(j, "model");
  chunk.choices = requiredField<std::vector<Choice>>(j, "choices");
  chunk.systemFingerprint = optionalField<std::string>(j, "system_fingerprint");
  chunk.usage = optionalField<ChatStreamResult::Usage>(j, "usage");
  value = std::move(chunk);
}

}  // namespace tessra::aiclient
