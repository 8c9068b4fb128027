// The catalogue of chat models the program offers.
//
// Every place that deals with a model (the default model setting, a conversation's settings, the
// request the chat engine sends, the token count of the chat window, the model list of the
// settings page) holds a `ChatGPTModels` case and asks it for the service's model name, the texts
// shown to the user or the token limit. A model is stored by its raw value ("gpt4o"), never by
// its API name ("gpt-4o"):
//
//   const ChatGPTModels model = chatGPTModelFromRawValue("gpt35").value_or(ChatGPTModels::gpt4);
//   query.model = apiModelName(model);  // "gpt-3.5-turbo"
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string_view>

namespace tessra {

enum class ChatGPTModels { gpt4o, gpt4, gpt4_32k, gpt4turbo, gpt4vision, gpt35 };

// The six cases in declaration order.
std::span<const ChatGPTModels> allChatGPTModels();

std::string_view rawValue(ChatGPTModels model);
// The case whose raw value is exactly `text` (case-sensitive); API names give nothing.
std::optional<ChatGPTModels> chatGPTModelFromRawValue(std::string_view text);

std::string_view apiModelName(ChatGPTModels model);
std::string_view displayTitle(ChatGPTModels model);
std::string_view displayDescription(ChatGPTModels model);

// The model whose API name is exactly `name`; `gpt4` when none is.
ChatGPTModels chatGPTModelFromApiModelName(std::string_view name);

// The token limits, indexed by the case's position.
inline constexpr std::array<std::int64_t, 6> kModelTokenLimit = {128000, 8192,   32768,
                                                                 128000, 128000, 4096};
constexpr std::int64_t modelTokenLimit(ChatGPTModels model) {
  return kModelTokenLimit[static_cast<std::size_t>(model)];
}

// A case is written as its raw value; reading fails on any other string.
void to_json(nlohmann::json& j, ChatGPTModels model);
void from_json(const nlohmann::json& j, ChatGPTModels& model);

}  // namespace tessra

template <>
struct std::hash<tessra::ChatGPTModels> {
  std::size_t operator()(tessra::ChatGPTModels model) const noexcept {
    return std::hash<std::string_view>{}(tessra::rawValue(model));
  }
};
