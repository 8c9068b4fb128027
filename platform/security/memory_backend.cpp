#include "platform/security/memory_backend.h"

#include <algorithm>

#include "platform/security/item_store.h"

namespace tessra::platform::security {

MemoryBackend::Entry* MemoryBackend::find(const std::string& handle) {
  auto it = std::ranges::find(m_entries, handle, [](const Entry& e) { return e.item.handle; });
  return it == m_entries.end() ? nullptr : &*it;
}

std::expected<std::vector<StoredItem>, OSStatus> MemoryBackend::search(const StringMap& filter) {
  std::lock_guard lock(m_mutex);
  std::vector<StoredItem> items;
  for (const auto& entry : m_entries) {
    bool matches = std::ranges::all_of(filter, [&](const auto& wanted) {
      auto it = entry.item.attributes.find(wanted.first);
      return it != entry.item.attributes.end() && it->second == wanted.second;
    });
    if (!matches) continue;
    items.push_back(entry.item);
    items.back().locked = m_locked;
  }
  return items;
}

OSStatus MemoryBackend::unlock(const std::vector<StoredItem>&) {
  std::lock_guard lock(m_mutex);
  if (!m_locked) return kErrSecSuccess;
  ++m_unlockPrompts;
  if (!m_userUnlocks) return kErrSecUserCanceled;
  m_locked = false;
  return kErrSecSuccess;
}

std::expected<Bytes, OSStatus> MemoryBackend::secret(const StoredItem& item) {
  std::lock_guard lock(m_mutex);
  if (m_locked) return std::unexpected(kErrSecInteractionNotAllowed);
  Entry* entry = find(item.handle);
  if (!entry) return std::unexpected(kErrSecItemNotFound);
  return entry->secret;
}

OSStatus MemoryBackend::create(const StringMap& attributes, const std::string& label,
                               const Bytes& secret) {
  std::lock_guard lock(m_mutex);
  if (m_locked) return kErrSecInteractionNotAllowed;
  Date now = Date::now();
  StoredItem item{.handle = "/memory/" + std::to_string(m_nextHandle++),
                  .attributes = attributes,
                  .label = label,
                  .created = now,
                  .modified = now,
                  .locked = false,
                  .native = nullptr};
  m_entries.push_back({std::move(item), secret});
  return kErrSecSuccess;
}

OSStatus MemoryBackend::modify(const StoredItem& item, const StringMap& attributes,
                               const std::string& label, const Bytes* secret) {
  std::lock_guard lock(m_mutex);
  if (m_locked) return kErrSecInteractionNotAllowed;
  Entry* entry = find(item.handle);
  if (!entry) return kErrSecItemNotFound;
  entry->item.attributes = attributes;
  entry->item.label = label;
  entry->item.modified = Date::now();
  if (secret) entry->secret = *secret;
  return kErrSecSuccess;
}

OSStatus MemoryBackend::erase(const StoredItem& item) {
  std::lock_guard lock(m_mutex);
  if (m_locked) return kErrSecInteractionNotAllowed;
  auto removed =
      std::erase_if(m_entries, [&](const Entry& e) { return e.item.handle == item.handle; });
  return removed ? kErrSecSuccess : kErrSecItemNotFound;
}

void MemoryBackend::setLocked(bool locked, bool userUnlocks) {
  std::lock_guard lock(m_mutex);
  m_locked = locked;
  m_userUnlocks = userUnlocks;
}

int MemoryBackend::unlockPrompts() const {
  std::lock_guard lock(m_mutex);
  return m_unlockPrompts;
}

std::size_t MemoryBackend::count() const {
  std::lock_guard lock(m_mutex);
  return m_entries.size();
}

std::shared_ptr<ItemStore> makeMemoryStore() {
  return std::make_shared<ItemStore>(std::make_shared<MemoryBackend>());
}

}  // namespace tessra::platform::security
