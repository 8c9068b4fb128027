#include "platform/foundation/uuid.h"

#include <sys/random.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <stdexcept>

namespace tessra::platform {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isDashPosition(std::size_t index) {
  return index == 8 || index == 13 || index == 18 || index == 23;
}

}  // namespace

std::string makeUuidString() {
  std::array<std::uint8_t, 16> bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) throw std::runtime_error("The system's random source is not available");
    filled += static_cast<std::size_t>(got);
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kHexDigits[bytes[i] >> 4]);
    text.push_back(kHexDigits[bytes[i] & 0x0F]);
  }
  return text;
}

std::optional<std::string> canonicalUuidString(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  std::string canonical(text);
  for (std::size_t i = 0; i < canonical.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(canonical[i]);
    if (isDashPosition(i)) {
      if (c != '-') return std::nullopt;
      continue;
    }
    if (!std::isxdigit(c)) return std::nullopt;
    canonical[i] = static_cast<char>(std::toupper(c));
  }
  return canonical;
}

}  // namespace tessra::platform
