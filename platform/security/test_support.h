// Helpers of the tests of the item store and of the keychain over it: the session's login keyring,
// given time to answer on a loaded machine.
#pragma once

#include <chrono>
#include <memory>

#include "platform/security/item_store.h"
#include "platform/security/secret_service_backend.h"

namespace tessra::platform::security::testing {

// The store `loginKeyring()` makes, but with a minute for each call. A call waits for a core at
// every hop between the test, the bus and the keyring's daemon, and on a loaded machine took past
// the program's five seconds while the rules under test held; the timeout itself is tested where
// the Secret Service never answers (keychain/offline_test.cpp).
inline std::shared_ptr<ItemStore> patientLoginKeyring() {
  return std::make_shared<ItemStore>(
      std::make_shared<SecretServiceBackend>(std::chrono::minutes(1)));
}

}  // namespace tessra::platform::security::testing
