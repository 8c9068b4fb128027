// The four item operations over attribute dictionaries, answering status codes:
//
//   copyMatching(query, &result)   find items; return their data and/or attributes
//   add(attributes)                store a new item (kErrSecDuplicateItem when it exists)
//   update(query, attributes)      change every matching item
//   remove(query)                  delete every matching item
//
// An `ItemStore` checks every key and value of a dictionary (an unknown key answers
// kErrSecItemInvalidKey, a value of the wrong kind kErrSecParam, an access-control or
// authentication-context entry kErrSecUnimplemented) and leaves the storage to its backend.
// `loginKeyring()` is the store of the program; `makeMemoryStore()` keeps items in memory for
// tests of the rules above it.
//
// A query without kSecAttrSynchronizable matches only items that are not synchronizable;
// SynchronizableAny matches both. kSecUseAuthenticationUI decides what happens to items in a
// locked keyring: "allow" (the default) unlocks it, asking the user when needed; "fail" answers
// kErrSecInteractionNotAllowed; "skip" leaves those items out.
//
// Calls block: make them from worker threads, never from the GUI thread. A store may be used
// from several threads at once; writes are serialized so a duplicate check and its add are not
// interleaved with another write of this process.
#pragma once

#include <memory>
#include <mutex>

#include "platform/security/item_backend.h"
#include "platform/security/item_dictionary.h"

namespace tessra::platform::security {

class ItemStore {
 public:
  explicit ItemStore(std::shared_ptr<ItemBackend> backend);

  OSStatus copyMatching(const Dictionary& query, CopyResult* result) const;
  OSStatus add(const Dictionary& attributes) const;
  OSStatus update(const Dictionary& query, const Dictionary& attributes) const;
  OSStatus remove(const Dictionary& query) const;

  ItemBackend& backend() const { return *m_backend; }

 private:
  std::shared_ptr<ItemBackend> m_backend;
  mutable std::mutex m_writeMutex;  // held across the duplicate check and the write
};

// The store over the login keyring of the Secret Service on the session bus, made on first use.
std::shared_ptr<ItemStore> loginKeyring();

// A new, empty store that keeps its items in memory.
std::shared_ptr<ItemStore> makeMemoryStore();

// Access-control objects have no counterpart in the login keyring: creation always fails with
// kErrSecUnimplemented.
[[nodiscard]] std::expected<std::shared_ptr<const AccessControl>, OSStatus>
secAccessControlCreateWithFlags(std::string_view accessibility, std::uint64_t flags);

}  // namespace tessra::platform::security
