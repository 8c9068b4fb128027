#include "Tessra/navigation/navigation_test_support.h"

#include <filesystem>

#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/paths.h"
#include "files/json_file.h"

namespace tessra::navigation_test {

ChatSessionManager& seedStore(const std::vector<std::string>& names,
                              std::optional<std::string> latest) {
  namespace fs = std::filesystem;
  const fs::path storage(Paths::storageDirectory().rawValue());
  fs::remove_all(storage);
  fs::create_directories(storage);
  ChatSessionManager& store = ChatSessionManager::shared();
  ConversationList list{"LIST", std::move(latest), {}};
  for (std::size_t i = 0; i < names.size(); ++i)
    list.conversations.push_back(
        {"c" + std::to_string(i), names[i], platform::Date::fromReferenceDate(1000.0 * i), {}});
  ChatSessionManagerTestAccess::replaceList(store, list);
  store.saveConversationList();
  return store;
}

std::vector<std::string> storedIds() {
  std::vector<std::string> ids;
  for (const Conversation& c : ChatSessionManager::shared().conversationList()->conversations)
    ids.push_back(c.id);
  return ids;
}

std::vector<std::string> idsOnDisk() {
  std::vector<std::string> ids;
  for (const Conversation& c :
       files::JsonFile<ConversationList>(Paths::conversationsFile()).read().conversations)
    ids.push_back(c.id);
  return ids;
}

}  // namespace tessra::navigation_test
