// UTF-8 helpers: every text the program stores or sends is valid UTF-8, so one bad byte from a
// file, the pasteboard or the network never makes a record unsavable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessra::platform {

bool isValidUtf8(std::string_view text);

// The length of the well-formed sequence that starts at byte `at`, or 0 when the bytes there are
// ill-formed; `illFormed` then receives the length of the maximal ill-formed subpart there (at
// least 1), which `sanitizeUtf8` replaces by one U+FFFD.
std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::size_t& illFormed);

// The text with every ill-formed sequence replaced by U+FFFD, one replacement per maximal
// ill-formed subpart (the Unicode recommendation), so valid text comes back unchanged.
std::string sanitizeUtf8(std::string_view text);

// The number of user-perceived characters (extended grapheme clusters) of a valid UTF-8 text.
std::size_t graphemeCount(std::string_view text);

// The first `count` user-perceived characters of a text; an emoji with its modifiers or a letter
// with its combining marks is never cut apart. Invalid bytes are sanitized first.
std::string prefixGraphemes(std::string_view text, std::size_t count);

// Appends the UTF-8 form of one Unicode scalar value; callers check the value first.
void appendUtf8(std::string& out, char32_t point);

// Where the first complete UTF-8 sequences of `bytes` end: a multi-byte character cut at the end
// of a network packet is left for the next one. Ill-formed bytes count as complete.
std::size_t completeUtf8Prefix(std::string_view bytes);

}  // namespace tessra::platform
