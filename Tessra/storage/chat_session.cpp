#include "Tessra/storage/chat_session.h"

#include "platform/foundation/json.h"

namespace tessra {

void to_json(nlohmann::json& j, const ChatSession& session) {
  j = {{"id", session.id}, {"name", session.name}, {"messages", session.messages}};
}

void from_json(const nlohmann::json& j, ChatSession& session) {
  session.id = platform::requiredField<std::string>(j, "id");
  session.name = platform::requiredField<std::string>(j, "name");
  session.messages = platform::requiredField<std::vector<ChatMessage>>(j, "messages");
}

}  // namespace tessra
