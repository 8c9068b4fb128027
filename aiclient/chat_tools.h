// The tools a chat request offers the model, and the tool choice.
//
// A tool is a function with a name, an optional description and the schema of its argument
// object in a subset of JSON Schema. The model answers with calls that name the function and
// carry its arguments as JSON text (see chat_message_param.h); the caller runs the function and
// sends the result back as a tool message.
//
//   ChatCompletionToolParam tool{.function = {
//       .name = "image_generation_via_dalle",
//       .parameters = FunctionParameters{.type = JSONType::object, .properties = ...}}};
//
// The schema nests without limit: a `Property` holds its `Items` by value, and `Items` holds a
// map of `Property` values. Every optional field is written only when present and read as absent
// when missing or null; the schema keys are spelled as the fields ("multipleOf", "minItems").
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ChatCompletionToolParam {
  // The kind of a tool, and of a tool call; the service knows only functions.
  enum class ToolsType { function };

  struct FunctionDefinition {
    // The schema of the function's argument object.
    struct FunctionParameters {
      enum class JSONType { integer, string, boolean, array, object, number, null };

      // The schema of one argument.
      struct Property {
        // The schema of the elements of an array argument.
        struct Items {
          JSONType type = JSONType::string;
          std::optional<std::map<std::string, Property>> properties{};
          std::optional<std::string> pattern{};
          std::optional<std::string> const_{};
          std::optional<std::vector<std::string>> enum_{};
          std::optional<std::int64_t> multipleOf{};
          std::optional<double> minimum{};
          std::optional<double> maximum{};
          std::optional<std::int64_t> minItems{};
          std::optional<std::int64_t> maxItems{};
          std::optional<bool> uniqueItems{};

          // Defaulted below, where `Property` is complete.
          bool operator==(const Items&) const;
        };

        JSONType type = JSONType::string;
        std::optional<std::string> description{};
        std::optional<std::string> format{};
        std::optional<Items> items{};
        std::optional<std::vector<std::string>> required{};
        std::optional<std::string> pattern{};
        std::optional<std::string> const_{};
        std::optional<std::vector<std::string>> enum_{};
        std::optional<std::int64_t> multipleOf{};
        std::optional<double> minimum{};
        std::optional<double> maximum{};
        std::optional<std::int64_t> minItems{};
        std::optional<std::int64_t> maxItems{};
        std::optional<bool> uniqueItems{};

        bool operator==(const Property&) const = default;
      };

      JSONType type = JSONType::object;
      std::optional<std::map<std::string, Property>> properties{};
      std::optional<std::vector<std::string>> required{};
      std::optional<std::string> pattern{};
      std::optional<std::string> const_{};
      std::optional<std::vector<std::string>> enum_{};
      std::optional<std::int64_t> multipleOf{};
      // Whole numbers here, unlike the bounds of a `Property`.
      std::optional<std::int64_t> minimum{};
      std::optional<std::int64_t> maximum{};

      bool operator==(const FunctionParameters&) const = default;
    };

    std::string name{};
    std::optional<std::string> description{};
    std::optional<FunctionParameters> parameters{};

    bool operator==(const FunctionDefinition&) const = default;
  };

  FunctionDefinition function{};
  ToolsType type = ToolsType::function;

  bool operator==(const ChatCompletionToolParam&) const = default;
};

inline bool
ChatCompletionToolParam::FunctionDefinition::FunctionParameters::Property::Items::operator==(
    const Items&) const = default;

// Whether the model is to call a tool, and which: none, any it likes, or the named function.
// Written as the bare string "none" or "auto", or as
// {"type": "function", "function": {"name": <name>}}; read back from the same forms.
class ChatCompletionFunctionCallOptionParam {
 public:
  enum class Kind { function, none, auto_ };

  ChatCompletionFunctionCallOptionParam() = default;

  static ChatCompletionFunctionCallOptionParam function(std::string name);
  static ChatCompletionFunctionCallOptionParam none();
  static ChatCompletionFunctionCallOptionParam auto_();

  Kind kind() const { return m_kind; }
  // The function's name for `Kind::function`, nothing otherwise.
  const std::optional<std::string>& functionName() const { return m_functionName; }

  bool operator==(const ChatCompletionFunctionCallOptionParam&) const = default;

 private:
  Kind m_kind = Kind::none;
  std::optional<std::string> m_functionName{};
};

template <>
struct RawValues<ChatCompletionToolParam::ToolsType> {
  static constexpr std::string_view typeName = "ToolsType";
  static constexpr std::array table{
      std::pair{ChatCompletionToolParam::ToolsType::function, std::string_view("function")}};
};

template <>
struct RawValues<ChatCompletionToolParam::FunctionDefinition::FunctionParameters::JSONType> {
  using E = ChatCompletionToolParam::FunctionDefinition::FunctionParameters::JSONType;
  static constexpr std::string_view typeName = "JSONType";
  static constexpr std::array table{
      std::pair{E::integer, std::string_view("integer")},
      std::pair{E::string, std::string_view("string")},
      std::pair{E::boolean, std::string_view("boolean")},
      std::pair{E::array, std::string_view("array")},
      std::pair{E::object, std::string_view("object")},
      std::pair{E::number, std::string_view("number")},
      std::pair{E::null, std::string_view("null")},
  };
};

void to_json(nlohmann::json& j, const ChatCompletionToolParam::ToolsType& value);
void from_json(const nlohmann::json& j, ChatCompletionToolParam::ToolsType& value);
void to_json(
    nlohmann::json& j,
    const ChatCompletionToolParam::FunctionDefinition::FunctionParameters::JSONType& value);
void from_json(const nlohmann::json& j,
               ChatCompletionToolParam::FunctionDefinition::FunctionParameters::JSONType& value);

void to_json(
    nlohmann::json& j,
    const ChatCompletionToolParam::FunctionDefinition::FunctionParameters::Property::Items& value);
void from_json(
    const nlohmann::json& j,
    ChatCompletionToolParam::FunctionDefinition::FunctionParameters::Property::Items& value);
void to_json(
    nlohmann::json& j,
    const ChatCompletionToolParam::FunctionDefinition::FunctionParameters::Property& value);
void from_json(const nlohmann::json& j,
               ChatCompletionToolParam::FunctionDefinition::FunctionParameters::Property& value);
void to_json(nlohmann::json& j,
             const ChatCompletionToolParam::FunctionDefinition::FunctionParameters& value);
void from_json(const nlohmann::json& j,
               ChatCompletionToolParam::FunctionDefinition::FunctionParameters& value);
void to_json(nlohmann::json& j, const ChatCompletionToolParam::FunctionDefinition& value);
void from_json(const nlohmann::json& j, ChatCompletionToolParam::FunctionDefinition& value);
void to_json(nlohmann::json& j, const ChatCompletionToolParam& value);
void from_json(const nlohmann::json& j, ChatCompletionToolParam& value);

void to_json(nlohmann::json& j, const ChatCompletionFunctionCallOptionParam& value);
void from_json(const nlohmann::json& j, ChatCompletionFunctionCallOptionParam& value);

}  // namespace tessra::aiclient
