#include "Tessra/storage/chat_gpt_models.h"

#include "platform/foundation/json.h"

namespace tessra {

namespace {

struct ModelRow {
  ChatGPTModels model;
  std::string_view rawValue;
  std::string_view apiModelName;
  std::string_view title;
  std::string_view description;
};

constexpr std::array<ModelRow, 6> kModels = {{
    {ChatGPTModels::gpt4o, "gpt4o", "gpt-4o", "GPT-4o",
     "Most advanced, multimodal flagship model that\u2019s cheaper and faster than GPT-4 Turbo"},
    {ChatGPTModels::gpt4, "gpt4", "gpt-4", "GPT-4",
     "Snapshot of gpt-4 from June 13th 2023 with improved function calling support."},
    {ChatGPTModels::gpt4_32k, "gpt4_32k", "gpt-4-32k", "GPT-4 32K",
     "Snapshot of gpt-4-32k from June 13th 2023 with improved function calling support. This "
     "model was never rolled out widely in favor of GPT-4 Turbo."},
    {ChatGPTModels::gpt4turbo, "gpt4turbo", "gpt-4-turbo-preview", "GPT-4 Turbo",
     "The latest GPT-4 model intended to reduce cases of \u201claziness\u201d where the model "
     "doesn\u2019t complete a task. Returns a maximum of 4,096 output tokens."},
    {ChatGPTModels::gpt4vision, "gpt4vision", "gpt-4-vision-preview", "GPT-4 Vision Preview",
     "GPT-4 with the ability to understand images, in addition to all other GPT-4 Turbo "
     "capabilities."},
    {ChatGPTModels::gpt35, "gpt35", "gpt-3.5-turbo", "GPT-3.5",
     "The latest GPT-3.5 Turbo model with higher accuracy at responding in requested formats and "
     "a fix for a bug which caused a text encoding issue for non-English language function "
     "calls. Returns a maximum of 4,096 output tokens."},
}};

constexpr std::array<ChatGPTModels, 6> kAllModels = {
    ChatGPTModels::gpt4o,     ChatGPTModels::gpt4,       ChatGPTModels::gpt4_32k,
    ChatGPTModels::gpt4turbo, ChatGPTModels::gpt4vision, ChatGPTModels::gpt35};

const ModelRow& row(ChatGPTModels model) { return kModels[static_cast<std::size_t>(model)]; }

}  // namespace

std::span<const ChatGPTModels> allChatGPTModels() { return kAllModels; }

std::string_view rawValue(ChatGPTModels model) { return row(model).rawValue; }

std::optional<ChatGPTModels> chatGPTModelFromRawValue(std::string_view text) {
  for (const ModelRow& candidate : kModels)
    if (candidate.rawValue == text) return candidate.model;
  return std::nullopt;
}

std::string_view apiModelName(ChatGPTModels model) { return row(model).apiModelName; }
std::string_view displayTitle(ChatGPTModels model) { return row(model).title; }
std::string_view displayDescription(ChatGPTModels model) { return row(model).description; }

ChatGPTModels chatGPTModelFromApiModelName(std::string_view name) {
  for (const ModelRow& candidate : kModels)
    if (candidate.apiModelName == name) return candidate.model;
  return ChatGPTModels::gpt4;
}

void to_json(nlohmann::json& j, ChatGPTModels model) { j = std::string(rawValue(model)); }

void from_json(const nlohmann::json& j, ChatGPTModels& model) {
  const auto text = platform::decodeValue<std::string>(j);
  const auto found = chatGPTModelFromRawValue(text);
  if (!found)
    throw platform::JsonDecodingError(
        platform::JsonDecodingError::Kind::dataCorrupted, "",
        "Cannot initialize ChatGPTModels from invalid String value " + text);
  model = *found;
}

}  // namespace tessra
