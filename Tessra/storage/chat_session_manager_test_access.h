// Lets tests and benchmarks put the store into the state a run would have left it in (a list, a
// session with its messages cached) without the files that state would take to make, and take a
// cached session out so that the next open reads its file again. Nothing in the program includes
// it: the windows change the store only through its operations.
//
//   ChatSessionManagerTestAccess::replaceList(store, list);  // announces the new list
//   ChatSessionManagerTestAccess::sessions(store)["c0"] = session;
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "Tessra/storage/chat_session_manager.h"

namespace tessra {

struct ChatSessionManagerTestAccess {
  static std::optional<ConversationList>& conversationList(ChatSessionManager& store) {
    return store.m_conversationList;
  }
  static std::unordered_map<std::string, ChatSession>& sessions(ChatSessionManager& store) {
    return store.m_sessions;
  }
  // Replaces the list and empties the cache, as a new run that read `list` would have them,
  // and tells the windows (the signal only: no other subsystem is told of a test's set-up).
  static void replaceList(ChatSessionManager& store, std::optional<ConversationList> list) {
    store.m_sessions.clear();
    store.m_conversationList = std::move(list);
    emit store.conversationsChanged();
  }
};

}  // namespace tessra
