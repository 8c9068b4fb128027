#include "testing/png_header.h"

#include <string_view>

namespace tessra::testing {

namespace {

std::string bigEndian(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

// The checksum of a PNG chunk: CRC-32 of its type and data.
std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xffffffff;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

// A chunk: the length of its data, its type and data, and their checksum.
std::string chunk(std::string_view type, std::string_view data) {
  const std::string body = std::string(type) + std::string(data);
  return bigEndian(static_cast<std::uint32_t>(data.size())) + body + bigEndian(crc32(body));
}

}  // namespace

std::string pngHeader(std::uint32_t width, std::uint32_t height) {
  // Eight bits of red, green and blue per pixel, no interlacing. A reader learns the size once it
  // meets the first (here empty) data chunk.
  return std::string("\x89PNG\r\n\x1a\n", 8) +
         chunk("IHDR", bigEndian(width) + bigEndian(height) + std::string("\x08\x02\0\0\0", 5)) +
         chunk("IDAT", "") + chunk("IEND", "");
}

}  // namespace tessra::testing
