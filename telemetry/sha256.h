// The hash that keeps user identifiers anonymous: SHA-256 of the text followed by a salt.
#pragma once

#include <string>
#include <string_view>

namespace tessra::telemetry {

// SHA-256 of the UTF-8 bytes of `text` followed by `salt`, as 64 lower-case hexadecimal digits.
std::string sha256(std::string_view text, std::string_view salt = {});

}  // namespace tessra::telemetry
