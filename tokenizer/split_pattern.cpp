#include "tokenizer/split_pattern.h"

#include <unicode/regex.h>
#include <unicode/utext.h>
#include <unicode/utypes.h>

#include <fmt/format.h>
#include <algorithm>

namespace tessra::tokenizer {

namespace {

struct UTextCloser {
  void operator()(UText* text) const { utext_close(text); }
};

// The backtracking stack a match may use. The stack a match needs grows with the length of a
// white-space run, so the limit grows with the text instead of staying at ICU's fixed default.
int32_t stackLimitFor(std::size_t textLength) {
  constexpr std::size_t kMinimum = 8u << 20;
  constexpr std::size_t kPerByte = 64;
  constexpr std::size_t kMaximum = 1u << 30;
  const std::size_t wanted = std::max(kMinimum, textLength * kPerByte);
  return static_cast<int32_t>(std::min(wanted, kMaximum));
}

[[noreturn]] void throwRegexError(std::string_view what, UErrorCode status) {
  throw RegexError(fmt::format("{}: {}", what, u_errorName(status)));
}

}  // namespace

struct SplitPattern::Compiled {
  std::unique_ptr<icu::RegexPattern> regex;
};

SplitPattern::SplitPattern(std::string pattern)
    : m_pattern(std::move(pattern)), m_compiled(std::make_unique<Compiled>()) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError parseError{};
  m_compiled->regex.reset(
      icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(m_pattern), 0, parseError, status));
  if (U_FAILURE(status) || !m_compiled->regex) {
    throw RegexError(fmt::format("The split pattern does not compile: {} at offset {}",
                                 u_errorName(status), parseError.offset));
  }
  if (m_pattern == kPatternA) m_scanner = ScannerKind::patternA;
  if (m_pattern == kPatternB) m_scanner = ScannerKind::patternB;
}

SplitPattern::~SplitPattern() = default;

void SplitPattern::forEachMatch(std::string_view text,
                                const std::function<void(std::string_view)>& onPiece) const {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UText, UTextCloser> utext(
      utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
  if (U_FAILURE(status)) throwRegexError("The text cannot be split", status);
  std::unique_ptr<icu::RegexMatcher> matcher(m_compiled->regex->matcher(status));
  if (U_FAILURE(status)) throwRegexError("The split pattern cannot make a matcher", status);
  matcher->reset(utext.get());
  matcher->setStackLimit(stackLimitFor(text.size()), status);
  if (U_FAILURE(status)) throwRegexError("The split stack cannot be set", status);

  // On a UTF-8 text ICU's native indexes are byte offsets, so the pieces are cut from the text
  // itself.
  while (matcher->find(status)) {
    const int64_t start = matcher->start64(status);
    const int64_t end = matcher->end64(status);
    if (U_FAILURE(status)) break;
    onPiece(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
  }
  if (U_FAILURE(status)) throwRegexError("The text could not be split", status);
}

}  // namespace tessra::tokenizer
