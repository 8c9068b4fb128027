#include "tokenizer/piece_scanner.h"

#include <gtest/gtest.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <memory>
#include <string>
#include <vector>

#include "tokenizer/split_pattern.h"

namespace tessra::tokenizer {
namespace {

using Pieces = std::vector<std::string>;

Pieces scan(ScannerKind kind, std::string_view text) {
  Pieces pieces;
  PieceScanner scanner(kind, text);
  for (std::string_view piece = scanner.next(); !piece.empty(); piece = scanner.next())
    pieces.emplace_back(piece);
  return pieces;
}

Pieces match(const SplitPattern& pattern, std::string_view text) {
  Pieces pieces;
  pattern.forEachMatch(text, [&](std::string_view piece) { pieces.emplace_back(piece); });
  return pieces;
}

// The class ICU's own regular expressions give a code point, one class expression at a time.
TEST(CharacterClasses, AgreeWithIcuRegularExpressionsOnEveryCodePoint) {
  struct ClassPattern {
    const char* pattern;
    CharClass charClass;
  };
  const ClassPattern patterns[] = {{R"(\p{L})", CharClass::letter},
                                   {R"(\p{N})", CharClass::number},
                                   {R"(\s)", CharClass::space}};
  const auto& classes = CharacterClasses::shared();
  for (const ClassPattern& p : patterns) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> regex(
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(p.pattern), 0, parseError, status));
    ASSERT_TRUE(U_SUCCESS(status));
    std::unique_ptr<icu::RegexMatcher> matcher(regex->matcher(status));
    std::size_t mismatches = 0;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;  // not characters; UTF-8 cannot hold them
      icu::UnicodeString text(c);
      matcher->reset(text);
      const bool matches = matcher->matches(status);
      if (matches != (classes.classOf(static_cast<char32_t>(c)) == p.charClass) && ++mismatches < 5)
        ADD_FAILURE() << p.pattern << " disagrees on U+" << std::hex << c;
    }
    EXPECT_EQ(mismatches, 0u) << p.pattern;
  }
}

TEST(PieceScanner, SplitsLikeThePatterns) {
  struct Case {
    ScannerKind kind;
    std::string text;
    Pieces expected;
  };
  const auto A = ScannerKind::patternA;
  const auto B = ScannerKind::patternB;
  const Case cases[] = {
      {A, "Hello world", {"Hello", " world"}},
      {A,
       "I'm they'll we've 'd 're",
       {"I", "'m", " they", "'ll", " we", "'ve", " '", "d", " '", "re"}},
      {A, "DON'T", {"DON", "'", "T"}},
      {A, "12345 abc", {"12345", " abc"}},
      {A, "a  b", {"a", " ", " b"}},
      {A, "a \tb", {"a", " ", "\t", "b"}},
      {A, "a\tb", {"a", "\t", "b"}},
      {A, "end   ", {"end", "   "}},
      {A, "x!? y", {"x", "!?", " y"}},
      {A, " ", {" "}},
      {B, "Hello world", {"Hello", " world"}},
      {B, "DON'T I'M 'ſ", {"DON", "'T", " I", "'M", " '", "ſ"}},
      {B, "'ſ", {"'ſ"}},
      {B, "12345", {"123", "45"}},
      {B, "\tfoo", {"\tfoo"}},
      {B, "(foo)", {"(foo", ")"}},
      {B, "x.\n\ny", {"x", ".\n\n", "y"}},
      {B, "a  \n  \n b", {"a", "  \n  \n", " b"}},
      {B, "a \n\t x", {"a", " \n", "\t", " x"}},
      {B, "a   b", {"a", "  ", " b"}},
      {B, "end  ", {"end", "  "}},
      {B, " !!\r\n", {" !!\r\n"}},
      {B, "\nfoo", {"\n", "foo"}},
      {B, "日本語 テキスト", {"日本語", " テキスト"}},
      {B, "👍🏽!", {"👍🏽!"}},
  };
  const SplitPattern patternA{std::string(kPatternA)};
  const SplitPattern patternB{std::string(kPatternB)};
  for (const Case& c : cases) {
    EXPECT_EQ(scan(c.kind, c.text), c.expected) << c.text;
    EXPECT_EQ(match(c.kind == A ? patternA : patternB, c.text), c.expected) << c.text;
  }
}

TEST(SplitPattern, ChoosesTheScannerOnlyForTheKnownPatterns) {
  EXPECT_EQ(SplitPattern(std::string(kPatternA)).scanner(), ScannerKind::patternA);
  EXPECT_EQ(SplitPattern(std::string(kPatternB)).scanner(), ScannerKind::patternB);
  const SplitPattern words(R"(\w+|\W+)");
  EXPECT_EQ(words.scanner(), std::nullopt);
  Pieces pieces;
  words.forEachPiece("ab, cd", [&](std::string_view piece) { pieces.emplace_back(piece); });
  EXPECT_EQ(pieces, (Pieces{"ab", ", ", "cd"}));
}

TEST(SplitPattern, APatternThatDoesNotCompileFailsWithTheEnginesError) {
  try {
    SplitPattern broken("(?i:unclosed");
    FAIL() << "compiled";
  } catch (const RegexError& error) {
    EXPECT_STREQ(error.what(),
                 "The split pattern does not compile: U_REGEX_MISMATCHED_PAREN at offset 12");
  }
}

TEST(SplitPattern, LongWhiteSpaceRunsDoNotExhaustTheMatcher) {
  const SplitPattern pattern{std::string(kPatternB)};
  for (const std::string& run : {std::string(2'000'000, ' '), std::string(1'000'000, '\t'),
                                 std::string(500'000, ' ') + "\n" + std::string(500'000, ' ')}) {
    const std::string text = "a" + run + "b";
    EXPECT_EQ(match(pattern, text), scan(ScannerKind::patternB, text));
  }
}

}  // namespace
}  // namespace tessra::tokenizer
