// The one SHA-256 of the program: names cache files after what they hold and keeps identifiers
// anonymous.
#pragma once

#include <string>
#include <string_view>

namespace tessra::platform {

// SHA-256 of the bytes, as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

}  // namespace tessra::platform
