#include "platform/foundation/base64.h"

#include <array>

namespace tessra::platform {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = std::int8_t(i);
  return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

template <class Byte>
std::string encode(std::span<const Byte> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                            std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 |
                            std::uint8_t(bytes[i + 2]);
    text.push_back(kAlphabet[(n >> 18) & 63]);
    text.push_back(kAlphabet[(n >> 12) & 63]);
    text.push_back(kAlphabet[(n >> 6) & 63]);
    text.push_back(kAlphabet[n & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return text;
  std::uint32_t n = std::uint32_t(std::uint8_t(bytes[i])) << 16;
  if (rest == 2) n |= std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
  text.push_back(kAlphabet[(n >> 18) & 63]);
  text.push_back(kAlphabet[(n >> 12) & 63]);
  text.push_back(rest == 2 ? kAlphabet[(n >> 6) & 63] : '=');
  text.push_back('=');
  return text;
}

}  // namespace

std::string base64Encode(std::span<const std::uint8_t> bytes) { return encode(bytes); }

std::string base64Encode(std::string_view bytes) {
  return encode(std::span<const char>(bytes.data(), bytes.size()));
}

std::optional<Bytes> base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  Bytes bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int padding = 0;
    std::uint32_t n = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const unsigned char c = static_cast<unsigned char>(text[i + j]);
      if (c == '=' && last && j >= 2) {
        ++padding;
        n <<= 6;
        continue;
      }
      if (padding > 0 || kDecodeTable[c] < 0) return std::nullopt;
      n = n << 6 | std::uint32_t(kDecodeTable[c]);
    }
    bytes.push_back(std::uint8_t(n >> 16));
    if (padding < 2) bytes.push_back(std::uint8_t(n >> 8));
    if (padding < 1) bytes.push_back(std::uint8_t(n));
  }
  return bytes;
}

}  // namespace tessra::platform
