// The fast path (hand-written scanners, heap merge) against the reference (ICU expressions, the
// rescanning merge): the same ids on a megabyte of mixed text and on random inputs drawn from the
// character classes the patterns distinguish.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/utf8.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::tokenizer {
namespace {

#ifdef NDEBUG
constexpr std::size_t kLongPiece = 100'000;
constexpr std::size_t kRandomInputs = 3'000'000;
#else
// The reference merge is quadratic and unoptimised here; Release builds run the full sizes.
constexpr std::size_t kLongPiece = 12'000;
constexpr std::size_t kRandomInputs = 150'000;
#endif

std::size_t randomInputCount() {
  if (const char* count = std::getenv("TESSRA_DIFFERENTIAL_INPUTS"); count && *count)
    return std::strtoull(count, nullptr, 10);
  return kRandomInputs;
}

std::string utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// The classes the patterns tell apart, with the characters that sit on their edges.
struct Grammar {
  std::vector<std::vector<std::string>> classes;

  Grammar() {
    auto list = [](std::initializer_list<char32_t> codePoints) {
      std::vector<std::string> out;
      for (char32_t c : codePoints) out.push_back(utf8(c));
      return out;
    };
    // Letters: ASCII, the contraction letters in both cases, Latin-1, Greek, CJK, kana, a
    // letter outside the BMP, and letters whose case folding is special.
    classes.push_back(
        list({'a',    'z',    'Q',    's',    'S',    't',    'T',     'r',     'R',   'e',
              'E',    'v',    'V',    'm',    'M',    'l',    'L',     'd',     'D',   0xE9,
              0xDF,   0x3A9,  0x4E2D, 0x65E5, 0x30C6, 0x3042, 0x1D400, 0x20000, 0x17F, 0x212A,
              0xFB06, 0xFB05, 0x1E9E, 0x130,  0x131,  0x2C6,  0x3005}));
    // Numbers: digits, other scripts' digits, letter numbers, other numbers.
    classes.push_back(
        list({'0', '7', '9', 0x661, 0x966, 0xFF13, 0x216B, 0x2167, 0xB2, 0xBD, 0x1D7CE, 0x3007}));
    // White space: every White_Space character, line breaks weighted up by repetition.
    classes.push_back(
        list({' ',  ' ',    ' ',    '\t',   '\n',   '\n',   '\r',   '\r',   0x0B,   0x0C,  0x85,
              0xA0, 0x1680, 0x2000, 0x2007, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000}));
    // Neither: punctuation, the apostrophe, symbols, marks, controls, format characters, emoji.
    classes.push_back(
        list({'\'',   '\'',    '\'',    '.',     ',',    '!',    '(',    '}',    '<',     '|',
              '_',    '-',     0,       0x01,    0x7F,   0x2019, 0x300,  0x200B, 0x200D,  0xFEFF,
              0xFFFD, 0x1F44D, 0x1F3FD, 0x1F1EB, 0x2603, 0x3001, 0x3002, 0xE000, 0x10FFFD}));
  }

  std::string draw(std::mt19937& random, std::size_t characters) const {
    std::string text;
    for (std::size_t i = 0; i < characters; ++i) {
      const auto& chosen = classes[random() % classes.size()];
      // Runs of one class are what the patterns group, so repeat the class now and then.
      const std::size_t repeat = random() % 4 == 0 ? 1 + random() % 4 : 1;
      for (std::size_t k = 0; k < repeat; ++k) text += chosen[random() % chosen.size()];
    }
    return text;
  }
};

std::string prose(std::mt19937& random, std::size_t bytes) {
  static const char* words[] = {"the",  "quick",    "brown",    "fox",    "jumps",     "over",
                                "lazy", "dog",      "I'm",      "you're", "they'll",   "we've",
                                "it's", "DON'T",    "HE'D",     "tokens", "merge",     "pairs",
                                "rank", "encoding", "Naïve",    "café",   "coöperate", "résumé",
                                "1999", "3.14159",  "e-mail",   "(see",   "below)",    "\"quoted\"",
                                "—",    "…",        "'single'", "x86_64"};
  std::string text;
  while (text.size() < bytes) {
    text += words[random() % std::size(words)];
    const auto punctuation = random() % 12;
    if (punctuation == 0) text += ".";
    if (punctuation == 1) text += ",";
    if (punctuation == 2) text += ".\n\n";
    text += random() % 20 == 0 ? "  " : " ";
  }
  return text;
}

std::string code(std::mt19937& random, std::size_t bytes) {
  static const char* lines[] = {
      "#include <vector>\n",
      "namespace tessra::tokenizer {\n",
      "\tfor (std::size_t i = 0; i < parts.size(); ++i) {\n",
      "        if (rank == kNoRank) return {};  // nothing to merge\n",
      "    auto [it, inserted] = map.try_emplace(key, 42);\r\n",
      "}\n\n\n",
      "  const char* s = \"tab\\there\\n\";\n",
      "\t\t\tx += y * 0x7f;    \n",
      "def f(a, b):\n    return a ** 2 + b // 3\n",
  };
  std::string text;
  while (text.size() < bytes) text += lines[random() % std::size(lines)];
  return text;
}

std::string characters(std::mt19937& random, std::size_t bytes,
                       std::initializer_list<std::pair<char32_t, char32_t>> ranges) {
  std::vector<std::pair<char32_t, char32_t>> list(ranges);
  std::string text;
  while (text.size() < bytes) {
    const auto& [low, high] = list[random() % list.size()];
    text += utf8(low + random() % (high - low + 1));
  }
  return text;
}

std::string whitespaceRuns(std::mt19937& random, std::size_t bytes) {
  static const char32_t spaces[] = {' ', '\t', '\n', '\r', 0x0B, 0x0C, 0x85, 0xA0, 0x2028, 0x3000};
  std::string text;
  while (text.size() < bytes) {
    const std::size_t run = 1 + random() % 40;
    const char32_t kind = spaces[random() % std::size(spaces)];
    for (std::size_t i = 0; i < run; ++i)
      text += utf8(random() % 3 == 0 ? spaces[random() % std::size(spaces)] : kind);
    text += random() % 2 ? "word" : "!";
  }
  return text;
}

// About a megabyte and a half of documents of every kind, and long single pieces.
std::vector<std::string> mixedCorpus() {
  std::mt19937 random(20240601);
  std::vector<std::string> documents;
  for (int i = 0; i < 8; ++i) {
    documents.push_back(prose(random, 40'000));
    documents.push_back(code(random, 30'000));
    documents.push_back(characters(random, 30'000,
                                   {{0x4E00, 0x9FFF},
                                    {0x3040, 0x309F},
                                    {0x30A0, 0x30FF},
                                    {0x3001, 0x3002},
                                    {0xFF01, 0xFF5E}}));
    documents.push_back(characters(random, 15'000,
                                   {{0x1F300, 0x1F64F},
                                    {0x1F3FB, 0x1F3FF},
                                    {0x200D, 0x200D},
                                    {0x1F1E6, 0x1F1FF},
                                    {0xFE0F, 0xFE0F},
                                    {'a', 'z'}}));
    documents.push_back(whitespaceRuns(random, 20'000));
    documents.push_back(Grammar().draw(random, 8'000));
  }
  documents.push_back(std::string(kLongPiece, 'a'));
  documents.push_back(std::string(kLongPiece, ' '));
  documents.push_back(std::string(kLongPiece / 2, ' ') + std::string(kLongPiece / 2, '\n'));
  documents.push_back(std::string(kLongPiece, '7'));
  documents.push_back(std::string(kLongPiece, '!'));
  documents.push_back(characters(random, kLongPiece, {{'a', 'z'}, {'A', 'Z'}}));
  documents.push_back(characters(random, kLongPiece, {{0x4E00, 0x9FFF}}));
  documents.push_back(characters(random, kLongPiece, {{0x1F300, 0x1F64F}}));
  return documents;
}

// The first position where two splits part ways, for a readable failure.
std::string firstDifference(const BytePairEncoder& encoder, std::string_view text) {
  std::vector<std::string> fast;
  std::vector<std::string> reference;
  encoder.regex().forEachPiece(text, [&](std::string_view p) { fast.emplace_back(p); });
  encoder.regex().forEachMatch(text, [&](std::string_view p) { reference.emplace_back(p); });
  for (std::size_t i = 0; i < std::min(fast.size(), reference.size()); ++i) {
    if (fast[i] != reference[i])
      return "piece " + std::to_string(i) + ": scanner \"" + fast[i] + "\", reference \"" +
             reference[i] + "\"";
  }
  if (fast.size() != reference.size()) return "the splits have different lengths";
  return "same pieces, different merges";
}

TEST(Differential, SameIdsOnAMegabyteOfMixedText) {
  const std::vector<std::string> documents = mixedCorpus();
  std::size_t bytes = 0;
  for (const std::string& document : documents) {
    ASSERT_TRUE(platform::isValidUtf8(document));
    bytes += document.size();
    for (const BytePairEncoder* encoder : {&test::cl100k(), &test::cl100kWithPatternA()}) {
      const std::vector<Rank> fast = encoder->encodeOrdinary(document);
      const std::vector<Rank> reference = encoder->encodeOrdinaryReference(document);
      ASSERT_EQ(fast, reference) << encoder->regex().pattern() << "\n"
                                 << firstDifference(*encoder, document);
      ASSERT_EQ(encoder->decode(fast), document);
    }
  }
  EXPECT_GE(bytes, 1'000'000u);
}

TEST(Differential, SameIdsOnRandomInputsFromThePatternsCharacterClasses) {
  const Grammar grammar;
  std::mt19937 random(99);
  const std::size_t count = randomInputCount();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string text = grammar.draw(random, 1 + random() % 8);
    for (const BytePairEncoder* encoder : {&test::cl100k(), &test::cl100kWithPatternA()}) {
      const std::vector<Rank> fast = encoder->encodeOrdinary(text);
      const std::vector<Rank> reference = encoder->encodeOrdinaryReference(text);
      if (fast != reference) {
        FAIL() << "input " << i << " \"" << text << "\" with " << encoder->regex().pattern() << ": "
               << firstDifference(*encoder, text);
      }
    }
  }
}

TEST(Differential, FastMergeMatchesReferenceOnLongRandomPieces) {
  std::mt19937 random(5);
  const Ranks& ranks = *test::cl100kRanks();
  const auto entries = ranks.entries();
  const ReferenceRanks referenceRanks(entries.begin(), entries.end());
  for (int round = 0; round < 300; ++round) {
    std::string piece;
    const std::size_t length = 2 + random() % 600;
    const int alphabet = 2 + static_cast<int>(random() % 60);
    for (std::size_t i = 0; i < length; ++i) piece += static_cast<char>('A' + random() % alphabet);
    std::vector<Rank> reference;
    std::vector<Rank> fast;
    bytePairEncode(piece, referenceRanks, reference);
    bytePairEncodeFast(piece, ranks, fast);
    ASSERT_EQ(fast, reference) << piece;
  }
}

}  // namespace
}  // namespace tessra::tokenizer
