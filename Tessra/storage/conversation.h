// The user's conversations apart from their messages: `ConversationList` is the whole content of
// "conversations.json", `Conversation` one entry of it and `ConversationConfig` a conversation's
// own request settings.
//
// JSON keys are the field names; an absent optional is left out, never written as null.
// `Conversation` writes "config" before "createdAt". Reading is strict: a value of the wrong type
// anywhere fails the whole list. Missing keys that have a reading of their own: the list's "id"
// (a fresh upper-case UUID, kept in memory until the list is written) and a conversation's
// "createdAt" (the first day of year 1).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/storage/chat_gpt_models.h"
#include "platform/foundation/date.h"

namespace tessra {

struct ConversationConfig {
  // Absent: the global default model.
  std::optional<ChatGPTModels> model;
  // Absent: the default system prompt.
  std::optional<std::string> prompt;
  std::optional<double> temperature;
  std::optional<double> presencePenalty;
  std::optional<double> frequencyPenalty;
  std::optional<double> topP;
  // How many earlier messages go with a question; 0 or less sends them all.
  std::int64_t contextWindow = 0;

  bool operator==(const ConversationConfig&) const = default;
};

struct Conversation {
  // Equals the id of its session, whose file is named after it.
  std::string id;
  std::string name;
  platform::Date createdAt;
  // Absent: every setting takes its default.
  std::optional<ConversationConfig> config;

  bool operator==(const Conversation&) const = default;
};

struct ConversationList {
  std::string id;
  // The conversation whose session was opened last.
  std::optional<std::string> latestSessionID;
  // In the user's order.
  std::vector<Conversation> conversations;

  bool operator==(const ConversationList&) const = default;
};

// A conversation's name is an emoji, a space and a title of this many user-perceived characters
// (the untrimmed title at most the maximum, the trimmed title at least the minimum).
inline constexpr int kMinimumConversationTitleLength = 3;
inline constexpr int kMaximumConversationTitleLength = 30;

// What a missing "createdAt" reads as: 0001-01-01 00:00:00 UTC.
inline constexpr platform::Date kDistantPast = platform::Date::fromReferenceDate(-63114076800.0);

void to_json(nlohmann::json& j, const ConversationConfig& config);
void from_json(const nlohmann::json& j, ConversationConfig& config);
void to_json(nlohmann::json& j, const Conversation& conversation);
void from_json(const nlohmann::json& j, Conversation& conversation);
void to_json(nlohmann::json& j, const ConversationList& list);
void from_json(const nlohmann::json& j, ConversationList& list);

}  // namespace tessra
