#include "platform/foundation/utf8.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <memory>
#include <stdexcept>

namespace tessra::platform {

namespace {

struct BreakIteratorCloser {
  void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};
struct TextCloser {
  void operator()(UText* text) const { utext_close(text); }
};

// Calls `onCluster(end)` with the byte offset after each grapheme cluster until it returns false.
// ICU's character break iterator follows the current extended grapheme cluster rules (emoji ZWJ
// sequences, modifiers, flags, Hangul syllables).
template <class OnCluster>
void forEachGrapheme(std::string_view text, OnCluster&& onCluster) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UText, TextCloser> utext(
      utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator(
      ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
  if (U_FAILURE(status)) throw std::runtime_error("The grapheme break iterator cannot be made");
  ubrk_setUText(iterator.get(), utext.get(), &status);
  if (U_FAILURE(status)) throw std::runtime_error("The grapheme break iterator cannot be made");
  ubrk_first(iterator.get());
  // With UTF-8 text, ICU's indexes are byte offsets.
  for (int32_t end = ubrk_next(iterator.get()); end != UBRK_DONE; end = ubrk_next(iterator.get())) {
    if (!onCluster(static_cast<std::size_t>(end))) return;
  }
}

}  // namespace

std::size_t utf8SequenceAt(std::string_view text, std::size_t at, std::size_t& illFormed) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  illFormed = 1;
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (at + k >= text.size()) return 0;
    const unsigned char c = byte(at + k);
    const unsigned char min = k == 1 ? low : 0x80;
    const unsigned char max = k == 1 ? high : 0xBF;
    if (c < min || c > max) return 0;
    illFormed = k + 1;
  }
  return length;
}

bool isValidUtf8(std::string_view text) {
  std::size_t subpart = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceAt(text, i, subpart);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string sanitizeUtf8(std::string_view text) {
  if (isValidUtf8(text)) return std::string(text);
  std::string clean;
  clean.reserve(text.size() + 8);
  std::size_t subpart = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceAt(text, i, subpart);
    if (length == 0) {
      clean += "\xEF\xBF\xBD";
      i += subpart;
      continue;
    }
    clean.append(text.substr(i, length));
    i += length;
  }
  return clean;
}

std::size_t graphemeCount(std::string_view text) {
  std::size_t count = 0;
  forEachGrapheme(text, [&](std::size_t) {
    ++count;
    return true;
  });
  return count;
}

std::string prefixGraphemes(std::string_view text, std::size_t count) {
  const std::string clean = sanitizeUtf8(text);
  if (count == 0) return {};
  std::size_t taken = 0;
  std::size_t end = 0;
  forEachGrapheme(clean, [&](std::size_t clusterEnd) {
    end = clusterEnd;
    return ++taken < count;
  });
  return clean.substr(0, end);
}

std::size_t completeUtf8Prefix(std::string_view bytes) {
  // Only the last three bytes can start an unfinished sequence.
  const std::size_t start = bytes.size() > 3 ? bytes.size() - 3 : 0;
  for (std::size_t i = bytes.size(); i-- > start;) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte: keep looking for the lead
    std::size_t need = 1;
    if (c >= 0xC2 && c <= 0xDF)
      need = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      need = 3;
    else if (c >= 0xF0 && c <= 0xF4)
      need = 4;
    return bytes.size() - i < need ? i : bytes.size();
  }
  return bytes.size();
}

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

}  // namespace tessra::platform
