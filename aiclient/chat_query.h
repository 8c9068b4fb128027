// The body of a chat-completions request, plain or streamed.
//
// The chat engine builds one per pass and the client posts it as JSON to
// "/v1/chat/completions". Every field but `messages`, `model` and `stream` is optional and is
// written only when present, never as null:
//
//   ChatQuery query{.messages = {*ChatQuery::ChatCompletionMessageParam::make(Role::user, "Hi")},
//                   .model = "gpt-4o",
//                   .temperature = 0.7,
//                   .toolChoice = ChatQuery::ChatCompletionFunctionCallOptionParam::auto_(),
//                   .streamOptions = ChatQuery::StreamOptions{.includeUsage = true}};
//
// Only `stream` is meant to change after construction: the streaming operation sets it on its
// own copy. Reading a query back requires "messages", "model" and "stream" and gives an equal
// value; a present value of the wrong type fails the whole query.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "aiclient/chat_message_param.h"
#include "aiclient/chat_tools.h"
#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ChatQuery {
  using ChatCompletionMessageParam = aiclient::ChatCompletionMessageParam;
  using ChatCompletionToolParam = aiclient::ChatCompletionToolParam;
  using ChatCompletionFunctionCallOptionParam = aiclient::ChatCompletionFunctionCallOptionParam;

  struct StreamOptions {
    // When true the service adds the token usage to the last chunk of the stream.
    bool includeUsage = false;

    bool operator==(const StreamOptions&) const = default;
  };

  // Written as {"type": "json_object"} or {"type": "text"}.
  enum class ResponseFormat { jsonObject, text };

  // One stop sequence, or a list of them; written bare.
  struct Stop {
    Stop() = default;
    Stop(std::string text) : value(std::move(text)) {}
    Stop(const char* text) : value(std::string(text)) {}
    Stop(std::vector<std::string> list) : value(std::move(list)) {}

    const std::string* string() const { return std::get_if<std::string>(&value); }
    const std::vector<std::string>* stringList() const {
      return std::get_if<std::vector<std::string>>(&value);
    }

    std::variant<std::string, std::vector<std::string>> value{};

    bool operator==(const Stop&) const = default;
  };

  // The conversation to answer, oldest first.
  std::vector<ChatCompletionMessageParam> messages{};
  // The model identifier, for example "gpt-4o".
  std::string model{};
  std::optional<double> frequencyPenalty{};
  // Bias per token identifier, the token written as a string.
  std::optional<std::map<std::string, std::int64_t>> logitBias{};
  std::optional<bool> logprobs{};
  std::optional<std::int64_t> maxTokens{};
  std::optional<std::int64_t> n{};
  std::optional<double> presencePenalty{};
  std::optional<ResponseFormat> responseFormat{};
  std::optional<std::int64_t> seed{};
  std::optional<Stop> stop{};
  std::optional<double> temperature{};
  std::optional<ChatCompletionFunctionCallOptionParam> toolChoice{};
  std::optional<std::vector<ChatCompletionToolParam>> tools{};
  std::optional<std::int64_t> topLogprobs{};
  std::optional<double> topP{};
  // An identifier of the end user.
  std::optional<std::string> user{};
  // Whether the service answers as a stream of server-sent events.
  bool stream = false;
  std::optional<StreamOptions> streamOptions{};

  bool operator==(const ChatQuery&) const = default;
};

template <>
struct RawValues<ChatQuery::ResponseFormat> {
  static constexpr std::string_view typeName = "ResponseFormat";
  static constexpr std::array table{
      std::pair{ChatQuery::ResponseFormat::jsonObject, std::string_view("json_object")},
      std::pair{ChatQuery::ResponseFormat::text, std::string_view("text")},
  };
};

void to_json(nlohmann::json& j, const ChatQuery::StreamOptions& value);
void from_json(const nlohmann::json& j, ChatQuery::StreamOptions& value);
void to_json(nlohmann::json& j, const ChatQuery::ResponseFormat& value);
void from_json(const nlohmann::json& j, ChatQuery::ResponseFormat& value);
void to_json(nlohmann::json& j, const ChatQuery::Stop& value);
void from_json(const nlohmann::json& j, ChatQuery::Stop& value);
void to_json(nlohmann::json& j, const ChatQuery& value);
void from_json(const nlohmann::json& j, ChatQuery& value);

}  // namespace tessra::aiclient
