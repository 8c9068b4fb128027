// The text encodings a text file can be written in, and strict conversion between them and the
// program's UTF-8 strings: a character the target cannot hold, or bytes that are not text in the
// source encoding, make the conversion fail instead of being replaced.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/base64.h"

namespace tessra::files {

enum class StringEncoding {
  utf8,
  ascii,
  isoLatin1,
  utf16LittleEndian,
  utf16BigEndian,
  utf32LittleEndian,
  utf32BigEndian,
};

// "UTF-8", "ASCII", "ISO Latin 1", "UTF-16LE", ...
std::string_view encodingName(StringEncoding encoding);

// The bytes of a UTF-8 text in `encoding`; nothing when it holds a character the encoding cannot
// represent. Bytes of the text that are not UTF-8 are taken as U+FFFD, as every text the program
// writes is, so one bad byte never makes a text unwritable in a Unicode encoding.
std::optional<Bytes> encodeString(std::string_view text, StringEncoding encoding);

// The UTF-8 text of bytes in `encoding`; nothing when the bytes are not text in that encoding.
std::optional<std::string> decodeString(std::span<const std::uint8_t> bytes,
                                        StringEncoding encoding);

}  // namespace tessra::files
