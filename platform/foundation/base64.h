// Base64 with the standard alphabet, padded, on one line: the form of byte buffers in the stored
// records and of the message text handed to the message page.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessra {

// A buffer of raw bytes.
using Bytes = std::vector<std::uint8_t>;

inline Bytes toBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline std::string toString(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace tessra

namespace tessra::platform {

std::string base64Encode(std::span<const std::uint8_t> bytes);
std::string base64Encode(std::string_view bytes);

// The bytes of a padded standard Base64 text, or nothing when the text is not one (wrong
// alphabet, wrong length, misplaced padding, white space).
std::optional<Bytes> base64Decode(std::string_view text);

}  // namespace tessra::platform
