// Everything one chat request needs from the program's state, captured on the GUI thread when the
// request starts, so that nothing of the store or the settings is read while it runs: the API key,
// the conversation's settings with their defaults applied, the context messages and the pending
// attachment.
//
//   RequestPlan plan = makeRequestPlan(conversation ? conversation->config : std::nullopt,
//                                      setting::openAiModel.read(), key,
//                                      store.contextMessages(id), takeAttachment());
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/chat_message.h"
#include "Tessra/storage/conversation.h"

namespace tessra {

inline constexpr std::string_view kDefaultSystemPrompt = "You're Tessra, a helpful assistant.";
inline constexpr double kDefaultTemperature = 0.5;
inline constexpr std::int64_t kDefaultMessageLimit = 100;

struct RequestPlan {
  std::string apiKey;
  ChatGPTModels model = ChatGPTModels::gpt4;
  std::string prompt = std::string(kDefaultSystemPrompt);
  std::optional<double> temperature = kDefaultTemperature;
  std::optional<double> frequencyPenalty;
  std::optional<double> presencePenalty;
  std::optional<double> topP;
  // How many context messages go with the question, the question itself counted; 0 or less
  // sends them all.
  std::int64_t messageLimit = kDefaultMessageLimit;
  // The session's messages after the last context break, oldest first; may hold the question.
  std::vector<ChatMessage> contextMessages;
  std::optional<ChatAttachment> attachment;
};

// The plan of a conversation with these settings (absent: no settings at all) and the
// application-wide model.
RequestPlan makeRequestPlan(const std::optional<ConversationConfig>& config,
                            ChatGPTModels applicationModel, std::string apiKey,
                            std::vector<ChatMessage> contextMessages,
                            std::optional<ChatAttachment> attachment);

}  // namespace tessra
