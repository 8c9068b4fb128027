#include "Tessra/ui_foundation/hex_color.h"

#include <cstdint>
#include <limits>

#include "platform/foundation/percent_encoding.h"

namespace tessra {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

QColor colorFromHex(std::string_view hex) {
  while (!hex.empty() && isSpace(hex.front())) hex.remove_prefix(1);
  while (!hex.empty() && isSpace(hex.back())) hex.remove_suffix(1);
  if (hex.starts_with('#')) hex.remove_prefix(1);
  // "0x" counts as a prefix only when a digit follows; otherwise its "0" is the number.
  if ((hex.starts_with("0x") || hex.starts_with("0X")) && hex.size() > 2 &&
      platform::hexDigitValue(hex[2]) >= 0)
    hex.remove_prefix(2);

  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (const char c : hex) {
    const int digit = platform::hexDigitValue(c);
    if (digit < 0) break;
    value = value > kMax >> 4 ? kMax : value << 4 | static_cast<std::uint64_t>(digit);
  }
  return QColor::fromRgb(static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 8 & 0xFF),
                         static_cast<int>(value & 0xFF));
}

}  // namespace tessra
