// Items in the login keyring, through the Secret Service on the session bus (libsecret).
//
// Every item is stored under one schema, "org.tessra.Tessra.Keychain", with string attributes
// named as in item_constants.h and the secret as the item's data. Only the Secret Service is
// ever spoken to: this backend never uses libsecret's simple password functions, which may fall
// back to a file of their own, so with no service on the bus a write fails and nothing is kept.
//
// Each call gives the service `timeout` to answer (connecting to the bus included); an answer
// that does not come in time, or a bus without a Secret Service, gives kErrSecNotAvailable.
// Unlocking a locked keyring may show the keyring's password prompt, which gets `promptTimeout`.
// Calls block their thread; libsecret runs each on a private main context, so any worker thread
// may call, several at once.
#pragma once

#include <chrono>

#include "platform/security/item_backend.h"

namespace tessra::platform::security {

class SecretServiceBackend : public ItemBackend {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{5000};
  static constexpr std::chrono::milliseconds kDefaultPromptTimeout{120000};

  explicit SecretServiceBackend(std::chrono::milliseconds timeout = kDefaultTimeout,
                                std::chrono::milliseconds promptTimeout = kDefaultPromptTimeout);

  [[nodiscard]] std::expected<std::vector<StoredItem>, OSStatus> search(
      const StringMap& filter) override;
  OSStatus unlock(const std::vector<StoredItem>& items) override;
  [[nodiscard]] std::expected<Bytes, OSStatus> secret(const StoredItem& item) override;
  OSStatus create(const StringMap& attributes, const std::string& label,
                  const Bytes& secret) override;
  OSStatus modify(const StoredItem& item, const StringMap& attributes, const std::string& label,
                  const Bytes* secret) override;
  OSStatus erase(const StoredItem& item) override;

 private:
  std::chrono::milliseconds m_timeout;
  std::chrono::milliseconds m_promptTimeout;
};

}  // namespace tessra::platform::security
