#include "Tessra/storage/conversation.h"

#include "platform/foundation/json.h"
#include "platform/foundation/uuid.h"

namespace tessra {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;

void to_json(nlohmann::json& j, const ConversationConfig& config) {
  j = nlohmann::json::object();
  putOptional(j, "model", config.model);
  putOptional(j, "prompt", config.prompt);
  putOptional(j, "temperature", config.temperature);
  putOptional(j, "presencePenalty", config.presencePenalty);
  putOptional(j, "frequencyPenalty", config.frequencyPenalty);
  putOptional(j, "topP", config.topP);
  j["contextWindow"] = config.contextWindow;
}

void from_json(const nlohmann::json& j, ConversationConfig& config) {
  config.model = optionalField<ChatGPTModels>(j, "model");
  config.prompt = optionalField<std::string>(j, "prompt");
  config.temperature = optionalField<double>(j, "temperature");
  config.presencePenalty = optionalField<double>(j, "presencePenalty");
  config.frequencyPenalty = optionalField<double>(j, "frequencyPenalty");
  config.topP = optionalField<double>(j, "topP");
  config.contextWindow = requiredField<std::int64_t>(j, "contextWindow");
}

void to_json(nlohmann::json& j, const Conversation& conversation) {
  j = {{"id", conversation.id}, {"name", conversation.name}};
  putOptional(j, "config", conversation.config);
  j["createdAt"] = conversation.createdAt;
}

void from_json(const nlohmann::json& j, Conversation& conversation) {
  conversation.id = requiredField<std::string>(j, "id");
  conversation.name = requiredField<std::string>(j, "name");
  conversation.createdAt = optionalField<platform::Date>(j, "createdAt").value_or(kDistantPast);
  conversation.config = optionalField<ConversationConfig>(j, "config");
}

void to_json(nlohmann::json& j, const ConversationList& list) {
  j = {{"id", list.id}};
  putOptional(j, "latestSessionID", list.latestSessionID);
  j["conversations"] = list.conversations;
}

void from_json(const nlohmann::json& j, ConversationList& list) {
  const auto id = optionalField<std::string>(j, "id");
  list.id = id ? *id : platform::makeUuidString();
  list.latestSessionID = optionalField<std::string>(j, "latestSessionID");
  list.conversations = requiredField<std::vector<Conversation>>(j, "conversations");
}

}  // namespace tessra
