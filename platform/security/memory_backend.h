// Items kept in memory, matched like the login keyring matches them. Tests use it to drive the
// option and status logic through states the real keyring cannot be put in on demand, such as a
// locked keyring whose unlock prompt the user answers or declines.
//
// Thread-safe: every call takes the backend's mutex.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/security/item_backend.h"

namespace tessra::platform::security {

class MemoryBackend : public ItemBackend {
 public:
  [[nodiscard]] std::expected<std::vector<StoredItem>, OSStatus> search(
      const StringMap& filter) override;
  OSStatus unlock(const std::vector<StoredItem>& items) override;
  [[nodiscard]] std::expected<Bytes, OSStatus> secret(const StoredItem& item) override;
  OSStatus create(const StringMap& attributes, const std::string& label,
                  const Bytes& secret) override;
  OSStatus modify(const StoredItem& item, const StringMap& attributes, const std::string& label,
                  const Bytes* secret) override;
  OSStatus erase(const StoredItem& item) override;

  // Locks the whole store; an unlock then succeeds only when `userUnlocks` says the user would
  // type the password, else it answers kErrSecUserCanceled.
  void setLocked(bool locked, bool userUnlocks = true);
  int unlockPrompts() const;
  std::size_t count() const;

 private:
  struct Entry {
    StoredItem item;
    Bytes secret;
  };
  Entry* find(const std::string& handle);

  mutable std::mutex m_mutex;
  std::vector<Entry> m_entries;  // in creation order
  std::uint64_t m_nextHandle = 1;
  bool m_locked = false;
  bool m_userUnlocks = true;
  int m_unlockPrompts = 0;
};

}  // namespace tessra::platform::security
