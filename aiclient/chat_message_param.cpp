#include "aiclient/chat_message_param.h"

#include "platform/foundation/base64.h"

namespace tessra::aiclient {

namespace {

using platform::JsonDecodingError;
using platform::optionalField;
using platform::putOptional;
using platform::requiredField;
using Message = ChatCompletionMessageParam;
using Role = Message::Role;
using SystemMessage = Message::ChatCompletionSystemMessageParam;
using UserMessage = Message::ChatCompletionUserMessageParam;
using AssistantMessage = Message::ChatCompletionAssistantMessageParam;
using ToolMessage = Message::ChatCompletionToolMessageParam;
using Content = Message::Content;
using VisionContent = Message::VisionContent;
using TextPart = VisionContent::ChatCompletionContentPartTextParam;
using ImagePart = VisionContent::ChatCompletionContentPartImageParam;
using ImageURL = ImagePart::ImageURL;
using ToolCall = Message::ToolCall;

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};

}  // namespace

ImageURL ImageURL::fromImageData(std::span<const std::uint8_t> jpegData, Detail detail) {
  return {.url = "data:image/jpeg;base64," + platform::base64Encode(jpegData), .detail = detail};
}

std::optional<Message> Message::make(Role role, std::optional<std::string> content,
                                     std::optional<std::string> name,
                                     std::optional<std::vector<ToolCall>> toolCalls,
                                     std::optional<std::string> toolCallId) {
  switch (role) {
    case Role::system:
      if (!content) return std::nullopt;
      return Message(SystemMessage{.content = std::move(*content), .name = std::move(name)});
    case Role::user:
      if (!content) return std::nullopt;
      return Message(UserMessage{.content = Content(std::move(*content)), .name = std::move(name)});
    case Role::assistant:
      return Message(AssistantMessage{.content = std::move(content),
                                      .name = std::move(name),
                                      .toolCalls = std::move(toolCalls)});
    case Role::tool:
      if (!content || !toolCallId) return std::nullopt;
      return Message(
          ToolMessage{.content = std::move(*content), .toolCallId = std::move(*toolCallId)});
  }
  return std::nullopt;
}

std::optional<Message> Message::make(Role role, std::vector<VisionContent> parts,
                                     std::optional<std::string> name) {
  if (role != Role::user) return std::nullopt;
  return Message(UserMessage{.content = Content(std::move(parts)), .name = std::move(name)});
}

Role Message::role() const {
  return std::visit([](const auto& message) { return message.role; }, value);
}

std::optional<Content> Message::content() const {
  return std::visit(Overloaded{
                        [](const SystemMessage& m) { return std::optional<Content>(m.content); },
                        [](const UserMessage& m) { return std::optional<Content>(m.content); },
                        [](const AssistantMessage& m) {
                          if (!m.content) return std::optional<Content>();
                          return std::optional<Content>(*m.content);
                        },
                        [](const ToolMessage& m) { return std::optional<Content>(m.content); },
                    },
                    value);
}

std::optional<std::string> Message::name() const {
  return std::visit(Overloaded{
                        [](const ToolMessage&) { return std::optional<std::string>(); },
                        [](const auto& m) { return m.name; },
                    },
                    value);
}

std::optional<std::string> Message::toolCallId() const {
  if (const auto* tool = std::get_if<ToolMessage>(&value)) return tool->toolCallId;
  return std::nullopt;
}

std::optional<std::vector<ToolCall>> Message::toolCalls() const {
  if (const auto* assistant = std::get_if<AssistantMessage>(&value)) return assistant->toolCalls;
  return std::nullopt;
}

void to_json(nlohmann::json& j, const Role& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, Role& value) { value = readRawValue<Role>(j); }

void to_json(nlohmann::json& j, const ImageURL::Detail& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, ImageURL::Detail& value) {
  value = readRawValue<ImageURL::Detail>(j);
}

void to_json(nlohmann::json& j, const ImageURL& value) {
  j = {{"url", value.url}, {"detail", value.detail}};
}

void from_json(const nlohmann::json& j, ImageURL& value) {
  ImageURL url;
  url.url = requiredField<std::string>(j, "url");
  url.detail = requiredField<ImageURL::Detail>(j, "detail");
  value = std::move(url);
}

void to_json(nlohmann::json& j, const ImagePart& value) {
  j = {{"image_url", value.imageUrl}, {"type", value.type}};
}

void from_json(const nlohmann::json& j, ImagePart& value) {
  ImagePart part;
  part.imageUrl = requiredField<ImageURL>(j, "image_url");
  part.type = requiredField<std::string>(j, "type");
  value = std::move(part);
}

void to_json(nlohmann::json& j, const TextPart& value) {
  j = {{"text", value.text}, {"type", value.type}};
}

void from_json(const nlohmann::json& j, TextPart& value) {
  TextPart part;
  part.text = requiredField<std::string>(j, "text");
  part.type = requiredField<std::string>(j, "type");
  value = std::move(part);
}

void to_json(nlohmann::json& j, const VisionContent& value) {
  std::visit([&j](const auto& part) { j = part; }, value.value);
}

void from_json(const nlohmann::json& j, VisionContent& value) {
  try {
    value = platform::decodeValue<TextPart>(j);
    return;
  } catch (const JsonDecodingError&) {
    // Not a text part; it may still be an image part.
  }
  try {
    value = platform::decodeValue<ImagePart>(j);
  } catch (const JsonDecodingError& e) {
    throw JsonDecodingError(
        JsonDecodingError::Kind::typeMismatch, "",
        "VisionContent: expected a text part or an image part (" + std::string(e.what()) + ")");
  }
}

void to_json(nlohmann::json& j, const Content& value) {
  std::visit([&j](const auto& content) { j = content; }, value.value);
}

void from_json(const nlohmann::json& j, Content& value) {
  if (j.is_string()) {
    value = Content(j.get<std::string>());
    return;
  }
  try {
    value = Content(platform::decodeValue<std::vector<VisionContent>>(j));
  } catch (const JsonDecodingError&) {
    throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "",
                            "Content: expected String || Vision");
  }
}

void to_json(nlohmann::json& j, const ToolCall::FunctionCall& value) {
  j = {{"arguments", value.arguments}, {"name", value.name}};
}

void from_json(const nlohmann::json& j, ToolCall::FunctionCall& value) {
  ToolCall::FunctionCall call;
  call.arguments = requiredField<std::string>(j, "arguments");
  call.name = requiredField<std::string>(j, "name");
  value = std::move(call);
}

void to_json(nlohmann::json& j, const ToolCall& value) {
  j = {{"id", value.id}, {"function", value.function}, {"type", value.type}};
}

void from_json(const nlohmann::json& j, ToolCall& value) {
  ToolCall call;
  call.id = requiredField<std::string>(j, "id");
  call.function = requiredField<ToolCall::FunctionCall>(j, "function");
  call.type = requiredField<ChatCompletionToolParam::ToolsType>(j, "type");
  value = std::move(call);
}

void to_json(nlohmann::json& j, const SystemMessage& value) {
  j = {{"content", value.content}, {"role", value.role}};
  putOptional(j, "name", value.name);
}

void from_json(const nlohmann::json& j, SystemMessage& value) {
  SystemMessage message;
  message.content = requiredField<std::string>(j, "content");
  message.name = optionalField<std::string>(j, "name");
  value = std::move(message);
}

void to_json(nlohmann::json& j, const UserMessage& value) {
  j = {{"content", value.content}, {"role", value.role}};
  putOptional(j, "name", value.name);
}

void from_json(const nlohmann::json& j, UserMessage& value) {
  UserMessage message;
  message.content = requiredField<Content>(j, "content");
  message.name = optionalField<std::string>(j, "name");
  value = std::move(message);
}

void to_json(nlohmann::json& j, const AssistantMessage& value) {
  j = {{"role", value.role}};
  putOptional(j, "name", value.name);
  putOptional(j, "content", value.content);
  putOptional(j, "tool_calls", value.toolCalls);
}

void from_json(const nlohmann::json& j, AssistantMessage& value) {
  AssistantMessage message;
  message.name = optionalField<std::string>(j, "name");
  message.content = optionalField<std::string>(j, "content");
  message.toolCalls = optionalField<std::vector<ToolCall>>(j, "tool_calls");
  value = std::move(message);
}

void to_json(nlohmann::json& j, const ToolMessage& value) {
  j = {{"content", value.content}, {"role", value.role}, {"tool_call_id", value.toolCallId}};
}

void from_json(const nlohmann::json& j, ToolMessage& value) {
  ToolMessage message;
  message.content = requiredField<std::string>(j, "content");
  message.toolCallId = requiredField<std::string>(j, "tool_call_id");
  value = std::move(message);
}

void to_json(nlohmann::json& j, const Message& value) {
  std::visit([&j](const auto& message) { j = message; }, value.value);
}

void from_json(const nlohmann::json& j, Message& value) {
  switch (requiredField<Role>(j, "role")) {
    case Role::system:
      value = platform::decodeValue<SystemMessage>(j);
      return;
    case Role::user:
      value = platform::decodeValue<UserMessage>(j);
      return;
    case Role::assistant:
      value = platform::decodeValue<AssistantMessage>(j);
      return;
    case Role::tool:
      value = platform::decodeValue<ToolMessage>(j);
      return;
  }
}

}  // namespace tessra::aiclient
