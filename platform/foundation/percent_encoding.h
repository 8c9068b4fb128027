// Percent-encoding of URL parts: one encoder and one decoder for file URLs, request paths and
// path segments, so every part of the program escapes and unescapes alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessra::platform {

// The characters a URL path may hold as they are besides the unreserved ones, "/" included.
inline constexpr std::string_view kPathCharacters = "/!$&'()*+,;=:@";

// Every byte of `text` as itself when it is an unreserved character (ASCII letters, digits,
// "-._~") or one of `kept`, and as "%XX" (upper-case hex) otherwise; "%" is always escaped, so a
// text that already looks encoded keeps its meaning.
std::string percentEncode(std::string_view text, std::string_view kept = {});

// The value of one hexadecimal digit of either case, or -1 for any other character.
int hexDigitValue(char c);

// `text` with every "%XX" replaced by its byte; nothing when a "%" is not followed by two hex
// digits, so a broken escape is never taken for a name. The result may hold any byte, "/" and
// NUL included: callers that use it as a name check it.
std::optional<std::string> percentDecode(std::string_view text);

}  // namespace tessra::platform
