#include "aiclient/responses.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "platform/foundation/utf8.h"

namespace tessra::aiclient {
namespace {

// As much of a body as a person can take in from one line of an error message.
constexpr std::size_t kBodyStartLength = 200;

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lower(text[at + i]) != prefix[i]) return false;
  }
  return true;
}

// Where the text of `html` from `at` on first holds `needle` (lower case) in any case.
std::size_t findNoCase(std::string_view html, std::size_t at, std::string_view needle) {
  for (; at < html.size(); ++at) {
    if (startsWithNoCase(html, at, needle)) return at;
  }
  return std::string_view::npos;
}

// A proxy or a web server answers errors with a page of its own; its markup says nothing to the
// user. A body counts as a page when it begins with a tag.
bool isMarkup(std::string_view body) {
  const auto start = std::find_if_not(body.begin(), body.end(), isSpace);
  return start != body.end() && *start == '<';
}

// Reads the character reference at `html[at]` ("&amp;", "&#233;", "&#xE9;") into `out`; returns
// the length read, 0 when it is none.
std::size_t readReference(std::string_view html, std::size_t at, std::string& out) {
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
      {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", " "}};
  for (const auto& [name, text] : kNamed) {
    if (html.substr(at).starts_with(name)) {
      out += text;
      return name.size();
    }
  }
  if (!html.substr(at).starts_with("&#")) return 0;
  std::size_t i = at + 2;
  const bool hex = i < html.size() && (html[i] == 'x' || html[i] == 'X');
  if (hex) ++i;
  const std::size_t digits = i;
  std::uint32_t value = 0;
  while (i < html.size() && i - digits < 7 &&
         (hex ? std::isxdigit(static_cast<unsigned char>(html[i]))
              : std::isdigit(static_cast<unsigned char>(html[i])))) {
    const char c = lower(html[i++]);
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  if (i == digits || i >= html.size() || html[i] != ';') return 0;
  if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
  platform::appendUtf8(out, static_cast<char32_t>(value));
  return i + 1 - at;
}

// The text a browser would show of a page: tags and comments dropped (each as a space, so words
// in neighbouring cells stay apart), scripts and styles dropped whole, references read.
std::string pageText(std::string_view html) {
  std::string text;
  std::size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '&') {
      if (const std::size_t length = readReference(html, i, text)) {
        i += length;
        continue;
      }
    }
    if (c != '<') {
      text.push_back(c);
      ++i;
      continue;
    }
    text.push_back(' ');
    if (html.substr(i).starts_with("<!--")) {
      const std::size_t end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    std::size_t end = html.find('>', i);
    if (end == std::string_view::npos) break;
    for (const std::string_view hidden : {"script", "style"}) {
      if (!startsWithNoCase(html, i + 1, hidden)) continue;
      const std::size_t close = findNoCase(html, end, "</" + std::string(hidden));
      end = close == std::string_view::npos ? html.size() : html.find('>', close);
      if (end == std::string_view::npos) end = html.size();
      break;
    }
    i = end + 1;
  }
  return text;
}

// The start of the body as one line of readable text: a page's text rather than its markup,
// white space runs as one space, bytes that are not UTF-8 as U+FFFD, at most 200 characters.
std::string bodyStart(std::string_view body) {
  const std::string readable = platform::sanitizeUtf8(isMarkup(body) ? pageText(body) : body);
  std::string line;
  std::size_t characters = 0;
  bool pendingSpace = false;
  for (std::size_t i = 0; i < readable.size(); ++i) {
    const char c = readable[i];
    if (isSpace(c)) {
      pendingSpace = !line.empty();
      continue;
    }
    // A character starts at every byte that does not continue a sequence.
    const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (starts && characters + (pendingSpace ? 1 : 0) >= kBodyStartLength) return line + "…";
    if (pendingSpace) {
      line.push_back(' ');
      ++characters;
    }
    pendingSpace = false;
    if (starts) ++characters;
    line.push_back(c);
  }
  return line;
}

std::string statusDescription(int statusCode, std::string_view body) {
  std::string text = "HTTP " + std::to_string(statusCode);
  const std::string start = bodyStart(body);
  if (!start.empty()) text += ": " + start;
  return text;
}

}  // namespace

HTTPStatusError::HTTPStatusError(int statusCode, std::string_view body)
    : Error(statusDescription(statusCode, body)), m_statusCode(statusCode) {}

std::optional<APIErrorResponse> decodeErrorEnvelope(std::string_view body) {
  try {
    return platform::decodeJson<APIErrorResponse>(body);
  } catch (const platform::JsonDecodingError&) {
    return std::nullopt;
  }
}

ErrorPtr errorForFailedResponse(int statusCode, std::string_view body) {
  if (auto envelope = decodeErrorEnvelope(body)) {
    return std::make_exception_ptr(std::move(*envelope));
  }
  return std::make_exception_ptr(HTTPStatusError(statusCode, body));
}

}  // namespace tessra::aiclient
