// Random (version 4) UUIDs in the upper-case text form the stored records use,
// e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessra::platform {

// A new random UUID as 36 upper-case characters in groups of 8-4-4-4-12.
std::string makeUuidString();

// The canonical upper-case form of a UUID text in either case, or nothing when the text is not a
// UUID of 36 characters in groups of 8-4-4-4-12.
std::optional<std::string> canonicalUuidString(std::string_view text);

}  // namespace tessra::platform
