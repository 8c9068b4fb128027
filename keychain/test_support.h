// Helpers of the keychain tests: a service name no other test (or test process) uses.
#pragma once

#include <string>

#include "platform/foundation/uuid.h"

namespace tessra::keychain::testing {

inline std::string uniqueService(const std::string& purpose) {
  return "org.tessra.test." + purpose + "." + platform::makeUuidString();
}

}  // namespace tessra::keychain::testing
