// Shared by the navigation tests: the program's store, emptied for each test, filled with
// conversations in memory and on disk, and a flag that a panel writes false to close.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra::navigation_test {

// The shared store with a list of these names (ids "c0", "c1", ...), written to disk, and
// `latest` as its latest session. Removes every file a previous test left.
ChatSessionManager& seedStore(const std::vector<std::string>& names,
                              std::optional<std::string> latest = std::nullopt);

// The ids of the store's list, in order.
std::vector<std::string> storedIds();
// The ids of "conversations.json" on disk, in order.
std::vector<std::string> idsOnDisk();

// A flag that starts true; the panel's `isVisible`.
struct Flag {
  bool value = true;
  int writes = 0;
  BoolBinding binding() {
    return {[this] { return value; },
            [this](bool v) {
              value = v;
              ++writes;
            }};
  }
};

}  // namespace tessra::navigation_test
