#include "files/string_encoding.h"

#include <cstdint>
#include <vector>

#include "platform/foundation/utf8.h"

namespace tessra::files {

namespace {

// Code points of a text already known to be valid UTF-8.
std::vector<char32_t> codePoints(std::string_view text) {
  std::vector<char32_t> points;
  points.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 1;
    char32_t point = lead;
    if (lead >= 0xF0) {
      length = 4;
      point = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      point = lead & 0x0F;
    } else if (lead >= 0xC0) {
      length = 2;
      point = lead & 0x1F;
    }
    for (int k = 1; k < length; ++k) {
      point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    points.push_back(point);
    i += static_cast<std::size_t>(length);
  }
  return points;
}

bool isScalar(char32_t point) { return point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF); }

void appendUnit(Bytes& out, std::uint32_t unit, int width, bool bigEndian) {
  for (int k = 0; k < width; ++k) {
    const int shift = bigEndian ? 8 * (width - 1 - k) : 8 * k;
    out.push_back(static_cast<std::uint8_t>((unit >> shift) & 0xFF));
  }
}

std::uint32_t readUnit(std::span<const std::uint8_t> bytes, std::size_t at, int width,
                       bool bigEndian) {
  std::uint32_t unit = 0;
  for (int k = 0; k < width; ++k) {
    const int shift = bigEndian ? 8 * (width - 1 - k) : 8 * k;
    unit |= static_cast<std::uint32_t>(bytes[at + static_cast<std::size_t>(k)]) << shift;
  }
  return unit;
}

std::optional<std::string> decodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t unit = readUnit(bytes, i, 2, bigEndian);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 4 > bytes.size()) return std::nullopt;
      const char32_t low = readUnit(bytes, i + 2, 2, bigEndian);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    platform::appendUtf8(out, unit);
  }
  return out;
}

}  // namespace

std::string_view encodingName(StringEncoding encoding) {
  switch (encoding) {
    case StringEncoding::utf8:
      return "UTF-8";
    case StringEncoding::ascii:
      return "ASCII";
    case StringEncoding::isoLatin1:
      return "ISO Latin 1";
    case StringEncoding::utf16LittleEndian:
      return "UTF-16LE";
    case StringEncoding::utf16BigEndian:
      return "UTF-16BE";
    case StringEncoding::utf32LittleEndian:
      return "UTF-32LE";
    case StringEncoding::utf32BigEndian:
      return "UTF-32BE";
  }
  return "UTF-8";
}

std::optional<Bytes> encodeString(std::string_view raw, StringEncoding encoding) {
  const std::string text = platform::sanitizeUtf8(raw);
  if (encoding == StringEncoding::utf8) return toBytes(text);
  Bytes out;
  out.reserve(text.size());
  for (const char32_t point : codePoints(text)) {
    switch (encoding) {
      case StringEncoding::utf8:
        break;
      case StringEncoding::ascii:
        if (point > 0x7F) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(point));
        break;
      case StringEncoding::isoLatin1:
        if (point > 0xFF) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(point));
        break;
      case StringEncoding::utf16LittleEndian:
      case StringEncoding::utf16BigEndian: {
        const bool bigEndian = encoding == StringEncoding::utf16BigEndian;
        if (point < 0x10000) {
          appendUnit(out, point, 2, bigEndian);
        } else {
          const char32_t v = point - 0x10000;
          appendUnit(out, 0xD800 + (v >> 10), 2, bigEndian);
          appendUnit(out, 0xDC00 + (v & 0x3FF), 2, bigEndian);
        }
        break;
      }
      case StringEncoding::utf32LittleEndian:
      case StringEncoding::utf32BigEndian:
        appendUnit(out, point, 4, encoding == StringEncoding::utf32BigEndian);
        break;
    }
  }
  return out;
}

std::optional<std::string> decodeString(std::span<const std::uint8_t> bytes,
                                        StringEncoding encoding) {
  switch (encoding) {
    case StringEncoding::utf8: {
      std::string text(bytes.begin(), bytes.end());
      if (!platform::isValidUtf8(text)) return std::nullopt;
      return text;
    }
    case StringEncoding::ascii: {
      std::string text;
      for (const auto byte : bytes) {
        if (byte > 0x7F) return std::nullopt;
        text.push_back(static_cast<char>(byte));
      }
      return text;
    }
    case StringEncoding::isoLatin1: {
      std::string text;
      for (const auto byte : bytes) platform::appendUtf8(text, byte);
      return text;
    }
    case StringEncoding::utf16LittleEndian:
    case StringEncoding::utf16BigEndian:
      return decodeUtf16(bytes, encoding == StringEncoding::utf16BigEndian);
    case StringEncoding::utf32LittleEndian:
    case StringEncoding::utf32BigEndian: {
      if (bytes.size() % 4 != 0) return std::nullopt;
      std::string text;
      for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const char32_t point = readUnit(bytes, i, 4, encoding == StringEncoding::utf32BigEndian);
        if (!isScalar(point)) return std::nullopt;
        platform::appendUtf8(text, point);
      }
      return text;
    }
  }
  return std::nullopt;
}

}  // namespace tessra::files
