// The transcript of one conversation: its identifier, its name and its messages, oldest first.
// Stored as one JSON file per conversation, named after the identifier ("welcome.json"):
// {"id": ..., "name": ..., "messages": [...]}. Reading requires all three keys and every message
// to read: there is no partial session.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Tessra/storage/chat_message.h"

namespace tessra {

struct ChatSession {
  std::string id;
  std::string name;
  std::vector<ChatMessage> messages;

  bool operator==(const ChatSession&) const = default;
};

void to_json(nlohmann::json& j, const ChatSession& session);
void from_json(const nlohmann::json& j, ChatSession& session);

}  // namespace tessra
