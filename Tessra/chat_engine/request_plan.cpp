#include "Tessra/chat_engine/request_plan.h"

#include <utility>

namespace tessra {

RequestPlan makeRequestPlan(const std::optional<ConversationConfig>& config,
                            ChatGPTModels applicationModel, std::string apiKey,
                            std::vector<ChatMessage> contextMessages,
                            std::optional<ChatAttachment> attachment) {
  RequestPlan plan;
  plan.apiKey = std::move(apiKey);
  plan.model = applicationModel;
  plan.contextMessages = std::move(contextMessages);
  plan.attachment = std::move(attachment);
  if (!config) return plan;
  plan.model = config->model.value_or(applicationModel);
  plan.prompt = config->prompt.value_or(std::string(kDefaultSystemPrompt));
  plan.temperature = config->temperature.value_or(kDefaultTemperature);
  plan.frequencyPenalty = config->frequencyPenalty;
  plan.presencePenalty = config->presencePenalty;
  plan.topP = config->topP;
  plan.messageLimit = config->contextWindow;
  return plan;
}

}  // namespace tessra
