// The storage under the item operations: a flat store of items, each a set of string attributes
// with a secret. `ItemStore` turns attribute dictionaries into these calls; a backend only
// searches, unlocks, reads, creates, changes and deletes. Both backends (the login keyring and
// the in-memory one used by tests) match the same way: an item matches a filter when it has
// every attribute of the filter with exactly that value.
//
// Every call blocks until the backend answers or gives up. Backends are safe to use from several
// threads at once.
#pragma once

#include <expected>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/date.h"
#include "platform/security/item_constants.h"

namespace tessra::platform::security {

using StringMap = std::map<std::string, std::string, std::less<>>;

// One item as a search found it, without its secret.
struct StoredItem {
  std::string handle;  // stable within the backend; the persistent reference of the item
  StringMap attributes;
  std::string label;  // the name the keyring shows to people
  Date created;
  Date modified;
  bool locked = false;
  std::shared_ptr<void> native;  // the backend's own object for the item
};

class ItemBackend {
 public:
  virtual ~ItemBackend() = default;

  [[nodiscard]] virtual std::expected<std::vector<StoredItem>, OSStatus> search(
      const StringMap& filter) = 0;
  // Unlocks the items' collections, asking the user when the keyring needs a password;
  // kErrSecUserCanceled when the user declines.
  virtual OSStatus unlock(const std::vector<StoredItem>& items) = 0;
  [[nodiscard]] virtual std::expected<Bytes, OSStatus> secret(const StoredItem& item) = 0;
  virtual OSStatus create(const StringMap& attributes, const std::string& label,
                          const Bytes& secret) = 0;
  // Replaces the item's attributes and label, and its secret when one is given.
  virtual OSStatus modify(const StoredItem& item, const StringMap& attributes,
                          const std::string& label, const Bytes* secret) = 0;
  virtual OSStatus erase(const StoredItem& item) = 0;
};

}  // namespace tessra::platform::security
