// One message of a chat request: system, user, assistant or tool.
//
// Each case holds its own record, written as one JSON object that carries its "role"; a message
// is read back by its "role" first. User content is plain text or a list of parts (text, or an
// image reference as a data URL), so that a question can carry a picture. An assistant message
// may carry the tool calls the model asked for; a tool message answers one of them by its id.
//
//   auto system = ChatCompletionMessageParam::make(Role::system, "Be brief.");
//   ChatCompletionMessageParam tool = ChatCompletionMessageParam::ChatCompletionToolMessageParam{
//       .content = "done", .toolCallId = call.id};
//
// The role of each record is fixed by its type (`ChatCompletionSystemMessageParam::role`).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "aiclient/chat_tools.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

// A text part of a user message's content.
struct ChatCompletionContentPartTextParam {
  std::string text{};
  std::string type = "text";

  bool operator==(const ChatCompletionContentPartTextParam&) const = default;
};

// An image part of a user message's content: a reference to the image by URL.
struct ChatCompletionContentPartImageParam {
  struct ImageURL {
    enum class Detail { auto_, low, high };

    // A data URL of JPEG bytes: "data:image/jpeg;base64," and their Base64 text. The
    // bytes are taken as they are; the caller supplies JPEG.
    static ImageURL fromImageData(std::span<const std::uint8_t> jpegData, Detail detail);

    std::string url{};
    Detail detail = Detail::auto_;

    bool operator==(const ImageURL&) const = default;
  };

  ImageURL imageUrl{};
  std::string type = "image_url";

  bool operator==(const ChatCompletionContentPartImageParam&) const = default;
};

// Who speaks a message; `ChatCompletionMessageParam::Role`.
enum class ChatCompletionMessageRole { system, user, assistant, tool };

// A system message: the instructions for the whole conversation.
struct ChatCompletionSystemMessageParam {
  static constexpr ChatCompletionMessageRole role = ChatCompletionMessageRole::system;
  std::string content{};
  std::optional<std::string> name{};

  bool operator==(const ChatCompletionSystemMessageParam&) const = default;
};

// A question; its content can carry pictures.
struct ChatCompletionUserMessageParam {
  static constexpr ChatCompletionMessageRole role = ChatCompletionMessageRole::user;

  // Plain text, or a list of text and image parts.
  struct Content {
    struct VisionContent {
      using ChatCompletionContentPartTextParam = aiclient::ChatCompletionContentPartTextParam;
      using ChatCompletionContentPartImageParam = aiclient::ChatCompletionContentPartImageParam;

      VisionContent() = default;
      VisionContent(ChatCompletionContentPartTextParam part) : value(std::move(part)) {}
      VisionContent(ChatCompletionContentPartImageParam part) : value(std::move(part)) {}

      const ChatCompletionContentPartTextParam* textPart() const {
        return std::get_if<ChatCompletionContentPartTextParam>(&value);
      }
      const ChatCompletionContentPartImageParam* imagePart() const {
        return std::get_if<ChatCompletionContentPartImageParam>(&value);
      }

      std::variant<ChatCompletionContentPartTextParam, ChatCompletionContentPartImageParam> value{};

      bool operator==(const VisionContent&) const = default;
    };

    Content() = default;
    Content(std::string text) : value(std::move(text)) {}
    Content(const char* text) : value(std::string(text)) {}
    Content(std::vector<VisionContent> parts) : value(std::move(parts)) {}

    const std::string* string() const { return std::get_if<std::string>(&value); }
    const std::vector<VisionContent>* vision() const {
      return std::get_if<std::vector<VisionContent>>(&value);
    }

    std::variant<std::string, std::vector<VisionContent>> value{};

    bool operator==(const Content&) const = default;
  };

  Content content{};
  std::optional<std::string> name{};

  bool operator==(const ChatCompletionUserMessageParam&) const = default;
};

// An earlier answer, or the model's request to call tools.
struct ChatCompletionAssistantMessageParam {
  static constexpr ChatCompletionMessageRole role = ChatCompletionMessageRole::assistant;

  struct ChatCompletionMessageToolCallParam {
    struct FunctionCall {
      // The arguments as the model wrote them: a JSON text.
      std::string arguments{};
      std::string name{};

      bool operator==(const FunctionCall&) const = default;
    };

    // The call's identifier as the service gave it.
    std::string id{};
    FunctionCall function{};
    ChatCompletionToolParam::ToolsType type = ChatCompletionToolParam::ToolsType::function;

    bool operator==(const ChatCompletionMessageToolCallParam&) const = default;
  };

  std::optional<std::string> content{};
  std::optional<std::string> name{};
  std::optional<std::vector<ChatCompletionMessageToolCallParam>> toolCalls{};

  bool operator==(const ChatCompletionAssistantMessageParam&) const = default;
};

// The result of one tool call.
struct ChatCompletionToolMessageParam {
  static constexpr ChatCompletionMessageRole role = ChatCompletionMessageRole::tool;
  // The tool's result.
  std::string content{};
  // The `id` of the call this answers.
  std::string toolCallId{};

  bool operator==(const ChatCompletionToolMessageParam&) const = default;
};

// The records live at namespace level and are named here as well: a class with default member
// initializers cannot be the alternative of a variant inside a class that is still being
// defined (g++ then finds it not default-constructible).
struct ChatCompletionMessageParam {
  using Role = ChatCompletionMessageRole;
  using ChatCompletionSystemMessageParam = aiclient::ChatCompletionSystemMessageParam;
  using ChatCompletionUserMessageParam = aiclient::ChatCompletionUserMessageParam;
  using ChatCompletionAssistantMessageParam = aiclient::ChatCompletionAssistantMessageParam;
  using ChatCompletionToolMessageParam = aiclient::ChatCompletionToolMessageParam;
  using Content = ChatCompletionUserMessageParam::Content;
  using VisionContent = Content::VisionContent;
  using ToolCall = ChatCompletionAssistantMessageParam::ChatCompletionMessageToolCallParam;

  // A message for `role`, or nothing when a required value is missing: system, user and tool
  // messages need content, a tool message also its call's id. Values the role has no place for
  // are dropped; a user message made here holds plain text.
  static std::optional<ChatCompletionMessageParam> make(
      Role role, std::optional<std::string> content, std::optional<std::string> name = {},
      std::optional<std::vector<ToolCall>> toolCalls = {},
      std::optional<std::string> toolCallId = {});

  // A user message made of parts; nothing for any other role.
  static std::optional<ChatCompletionMessageParam> make(Role role, std::vector<VisionContent> parts,
                                                        std::optional<std::string> name = {});

  ChatCompletionMessageParam() = default;
  ChatCompletionMessageParam(ChatCompletionSystemMessageParam message)
      : value(std::move(message)) {}
  ChatCompletionMessageParam(ChatCompletionUserMessageParam message) : value(std::move(message)) {}
  ChatCompletionMessageParam(ChatCompletionAssistantMessageParam message)
      : value(std::move(message)) {}
  ChatCompletionMessageParam(ChatCompletionToolMessageParam message) : value(std::move(message)) {}

  Role role() const;
  // The text of a system or tool message, the content of a user message, the text of an
  // assistant message when it has one.
  std::optional<Content> content() const;
  // Nothing for a tool message.
  std::optional<std::string> name() const;
  std::optional<std::string> toolCallId() const;
  std::optional<std::vector<ToolCall>> toolCalls() const;

  std::variant<ChatCompletionSystemMessageParam, ChatCompletionUserMessageParam,
               ChatCompletionAssistantMessageParam, ChatCompletionToolMessageParam>
      value;

  bool operator==(const ChatCompletionMessageParam&) const = default;
};

template <>
struct RawValues<ChatCompletionMessageParam::Role> {
  using E = ChatCompletionMessageParam::Role;
  static constexpr std::string_view typeName = "Role";
  static constexpr std::array table{
      std::pair{E::system, std::string_view("system")},
      std::pair{E::user, std::string_view("user")},
      std::pair{E::assistant, std::string_view("assistant")},
      std::pair{E::tool, std::string_view("tool")},
  };
};

template <>
struct RawValues<ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam::
                     ImageURL::Detail> {
  using E = ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam::
      ImageURL::Detail;
  static constexpr std::string_view typeName = "Detail";
  static constexpr std::array table{
      std::pair{E::auto_, std::string_view("auto")},
      std::pair{E::low, std::string_view("low")},
      std::pair{E::high, std::string_view("high")},
  };
};

void to_json(nlohmann::json& j, const ChatCompletionMessageParam::Role& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam::Role& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam::VisionContent::
                                    ChatCompletionContentPartImageParam::ImageURL::Detail& value);
void from_json(const nlohmann::json& j,
               ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam::
                   ImageURL::Detail& value);
void to_json(
    nlohmann::json& j,
    const ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam::ImageURL&
        value);
void from_json(
    const nlohmann::json& j,
    ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam::ImageURL&
        value);
void to_json(
    nlohmann::json& j,
    const ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam& value);
void from_json(
    const nlohmann::json& j,
    ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartImageParam& value);
void to_json(
    nlohmann::json& j,
    const ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartTextParam& value);
void from_json(
    const nlohmann::json& j,
    ChatCompletionMessageParam::VisionContent::ChatCompletionContentPartTextParam& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam::VisionContent& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam::VisionContent& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam::Content& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam::Content& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam::ToolCall::FunctionCall& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam::ToolCall::FunctionCall& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam::ToolCall& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam::ToolCall& value);
void to_json(nlohmann::json& j,
             const ChatCompletionMessageParam::ChatCompletionSystemMessageParam& value);
void from_json(const nlohmann::json& j,
               ChatCompletionMessageParam::ChatCompletionSystemMessageParam& value);
void to_json(nlohmann::json& j,
             const ChatCompletionMessageParam::ChatCompletionUserMessageParam& value);
void from_json(const nlohmann::json& j,
               ChatCompletionMessageParam::ChatCompletionUserMessageParam& value);
void to_json(nlohmann::json& j,
             const ChatCompletionMessageParam::ChatCompletionAssistantMessageParam& value);
void from_json(const nlohmann::json& j,
               ChatCompletionMessageParam::ChatCompletionAssistantMessageParam& value);
void to_json(nlohmann::json& j,
             const ChatCompletionMessageParam::ChatCompletionToolMessageParam& value);
void from_json(const nlohmann::json& j,
               ChatCompletionMessageParam::ChatCompletionToolMessageParam& value);
void to_json(nlohmann::json& j, const ChatCompletionMessageParam& value);
void from_json(const nlohmann::json& j, ChatCompletionMessageParam& value);

}  // namespace tessra::aiclient
