#include "tokenizer/byte_pair_encoder.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <random>

#include "platform/foundation/utf8.h"

#include "tokenizer/encoding.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::tokenizer {
namespace {

using Ids = std::vector<Rank>;

std::shared_ptr<const Ranks> ranksOf(std::unordered_map<std::string, Rank> entries) {
  return std::make_shared<const Ranks>(entries);
}

// Both merges, for one piece.
std::pair<Ids, Ids> mergeBothWays(std::string_view piece, const Ranks& ranks) {
  Ids reference;
  Ids fast;
  const auto entries = ranks.entries();
  bytePairEncode(piece, ReferenceRanks(entries.begin(), entries.end()), reference);
  bytePairEncodeFast(piece, ranks, fast);
  return {reference, fast};
}

TEST(BytePairMerge, FollowsRanksOnSyntheticVocabularies) {
  const auto bytes = [](std::unordered_map<std::string, Rank> extra) {
    for (int b = 0; b < 256; ++b) extra.try_emplace(std::string(1, static_cast<char>(b)), 1000 + b);
    return ranksOf(extra);
  };
  struct Case {
    const char* name;
    std::shared_ptr<const Ranks> ranks;
    std::string piece;
    Ids expected;
  };
  const Case cases[] = {
      // The leftmost of equal pairs merges first, and "aaa"/"aaaa" are not entries.
      {"equal pairs", bytes({{"aa", 7}}), "aaaa", {7, 7}},
      {"odd run", bytes({{"aa", 7}}), "aaaaa", {7, 7, 1000 + 'a'}},
      {"unranked pair", bytes({}), "xy", {1000 + 'x', 1000 + 'y'}},
      // The lower rank wins over the position.
      {"lower rank first", bytes({{"ab", 5}, {"bc", 3}}), "abc", {1000 + 'a', 3}},
      {"merged part joins again", bytes({{"ab", 5}, {"bc", 3}, {"abc", 9}}), "abc", {9}},
      {"chain of merges", bytes({{"ab", 1}, {"abc", 2}, {"abcd", 3}}), "abcd", {3}},
      // Without any rank every byte is one id 0: an upper bound on the count.
      {"empty vocabulary", ranksOf({}), "hello", {0, 0, 0, 0, 0}},
      {"missing byte", ranksOf({{"a", 4}}), "ab", {4, 0}},
  };
  for (const Case& c : cases) {
    auto [reference, fast] = mergeBothWays(c.piece, *c.ranks);
    EXPECT_EQ(reference, c.expected) << c.name;
    EXPECT_EQ(fast, c.expected) << c.name;
  }
}

TEST(BytePairMerge, FastMergeMatchesReferenceOnRandomVocabularies) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    // A small alphabet with many ranked pairs and triples, ties between them impossible by rank
    // but frequent by position.
    std::unordered_map<std::string, Rank> entries;
    const std::string alphabet = "abcd";
    for (int b = 0; b < 4; ++b) entries[std::string(1, alphabet[b])] = 100 + b;
    Rank next = 0;
    for (int i = 0; i < 40; ++i) {
      std::string token;
      const int length = 2 + static_cast<int>(random() % 4);
      for (int k = 0; k < length; ++k) token += alphabet[random() % 4];
      entries.try_emplace(token, next++);
    }
    const auto ranks = ranksOf(entries);
    std::string piece;
    const int length = 2 + static_cast<int>(random() % 200);
    for (int k = 0; k < length; ++k) piece += alphabet[random() % 4];
    auto [reference, fast] = mergeBothWays(piece, *ranks);
    ASSERT_EQ(fast, reference) << piece;
  }
}

// The bytes the allocator has handed out and not got back, large blocks included.
std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

TEST(BytePairMerge, LongPieceLeavesNoWorkingMemoryBehind) {
  // Counting runs on long-lived worker threads: one pasted run of a single character must not
  // leave tens of megabytes held by the thread that merged it.
  std::unordered_map<std::string, Rank> entries{{"a", 0}, {"aa", 1}};
  const auto ranks = ranksOf(entries);
  const std::string piece(1 << 20, 'a');
  Ids ids;
  ids.reserve(piece.size());
  const std::size_t before = heapInUse();
  bytePairEncodeFast(piece, *ranks, ids);
  const std::size_t after = heapInUse();
  EXPECT_EQ(ids, Ids(piece.size() / 2, 1));
  EXPECT_LT(after, before + (1u << 20)) << "bytes still held: " << after - before;
}

TEST(BytePairEncoder, WholeVocabularyEntryIsOneToken) {
  // Merging "abcd" pair by pair joins "bc" first and ends at a + bc + d, yet "abcd" is an entry.
  std::unordered_map<std::string, Rank> entries{{"bc", 0}, {"ab", 1}, {"abcd", 50}};
  for (int b = 0; b < 256; ++b) entries.try_emplace(std::string(1, static_cast<char>(b)), 100 + b);
  auto encoder = test::encoderWith(ranksOf(entries), kPatternB);
  EXPECT_EQ(encoder->encodeOrdinary("abcd"), Ids{50});
  EXPECT_EQ(encoder->encodeOrdinaryReference("abcd"), Ids{50});
  EXPECT_EQ(encoder->encodeOrdinary("abcdab"), (Ids{100 + 'a', 0, 100 + 'd', 1}));
  EXPECT_EQ(encoder->encodeOrdinaryReference("abcdab"), (Ids{100 + 'a', 0, 100 + 'd', 1}));
}

TEST(BytePairEncoder, EncodesKnownTextsOfTheRealVocabulary) {
  struct Case {
    std::string text;
    Ids expected;
  };
  const Case cases[] = {
      {"", {}},
      {"hello world", {15339, 1917}},
      {"Hello, world!", {9906, 11, 1917, 0}},
      {" hello", {24748}},
      {"aaaa", {29558}},
      {"\n\n", {271}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::cl100k().encodeOrdinary(c.text), c.expected) << c.text;
    EXPECT_EQ(test::cl100k().encodeOrdinaryReference(c.text), c.expected) << c.text;
  }
}

TEST(BytePairEncoder, SpecialTokenTextsAreOrdinaryText) {
  const auto& encoder = test::cl100k();
  for (const char* text : {"<|endoftext|>", "a<|fim_prefix|>b", "<|endofprompt|>\n"}) {
    const Ids ids = encoder.encodeOrdinary(text);
    EXPECT_GT(ids.size(), 1u) << text;
    for (Rank id : ids) EXPECT_LT(id, 100257) << text;
    EXPECT_EQ(encoder.decode(ids), text);
  }
}

TEST(BytePairEncoder, RoundTripsTextsOfEveryKind) {
  const auto& encoder = test::cl100k();
  const std::string texts[] = {
      "The quick brown fox jumps over the lazy dog.",
      "int main() {\n\treturn 0;\n}\n",
      "日本語のテキストと中文文本",
      "emoji 👍🏽 family 👨‍👩‍👧 flag 🇫🇷",
      std::string("nul\0byte", 8),
      "   \t\t\n\r\n  \u00a0\u3000 trailing   ",
      "I'm sure they'll say we've done it, 'TIS ſo",
      std::string(5000, ' ') + "x" + std::string(3000, '\n'),
  };
  for (const std::string& text : texts) {
    const Ids ids = encoder.encodeOrdinary(text);
    EXPECT_EQ(encoder.decode(ids), text);
    EXPECT_EQ(encoder.encodeOrdinaryReference(text), ids);
  }
}

TEST(BytePairEncoder, ReadsIllFormedUtf8AsReplacementCharacters) {
  const auto& encoder = test::cl100k();
  // Long ASCII stretches around the bad bytes, so a fault hides behind any word boundary.
  const std::string ascii = "plain text of some length ";
  struct Case {
    const char* name;
    std::string text;
    std::string clean;
  };
  const Case cases[] = {
      {"stray byte",
       "ab\xff"
       "cd",
       "ab\uFFFDcd"},
      {"cut at the end", ascii + "cd\xe2\x82", ascii + "cd\uFFFD"},
      {"lone continuation", ascii + "\x80" + ascii, ascii + "\uFFFD" + ascii},
      {"cut before ASCII", ascii + "\xe2\x82" + ascii, ascii + "\uFFFD" + ascii},
      {"overlong", ascii + "\xc0\xaf", ascii + "\uFFFD\uFFFD"},
      {"surrogate", ascii + "\xed\xa0\x80" + ascii, ascii + "\uFFFD\uFFFD\uFFFD" + ascii},
      {"good then bad", "\u00e9" + ascii + ascii + "\xfe", "\u00e9" + ascii + ascii + "\uFFFD"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(platform::sanitizeUtf8(c.text), c.clean) << c.name;
    const Ids expected = encoder.encodeOrdinary(c.clean);
    EXPECT_EQ(encoder.encodeOrdinary(c.text), expected) << c.name;
    EXPECT_EQ(encoder.encodeOrdinaryReference(c.text), expected) << c.name;
  }
}

TEST(BytePairEncoder, DecodeSkipsUnknownIdsAndRefusesBrokenCharacters) {
  const auto& encoder = test::cl100k();
  const Ids snowman = encoder.encodeOrdinary("☃");
  ASSERT_FALSE(snowman.empty());
  struct Case {
    const char* name;
    Ids ids;
    std::string expected;
  };
  const Case cases[] = {
      {"special id alone", {100257}, ""},
      {"unknown ids skipped", {15339, -1, 999999999, 1917}, "hello world"},
      {"empty list", {}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(encoder.decode(c.ids), c.expected) << c.name;
  // "☃" is three bytes; the first id alone stops inside the character.
  const Ids bytewise = encoder.encodeOrdinary("\xe2\x98\x83");
  Ids partial;
  for (char byte : std::string("\xe2\x98"))
    partial.push_back(encoder.encoder().find(std::string(1, byte)));
  EXPECT_EQ(encoder.decode(partial), "");
  EXPECT_EQ(encoder.decode(bytewise), "☃");
}

TEST(BytePairEncoder, DuplicateRankDecodesToTheSmallerBytes) {
  auto encoder = test::encoderWith(ranksOf({{"b", 1}, {"a", 1}, {"c", 2}}), kPatternB);
  EXPECT_EQ(encoder->decode({1, 2}), "ac");
}

TEST(Encoding, HoldsItsNameSpecialTokensAndHighestId) {
  auto encoder = test::encoderWith(ranksOf({{"a", 4}, {"b", 9}}), kPatternA);
  const Encoding withSpecial("gpt-4", encoder, {{"<|endoftext|>", 50256}});
  EXPECT_EQ(withSpecial.name(), "gpt-4");
  EXPECT_EQ(withSpecial.maxValueToken(), 50256);
  EXPECT_EQ(Encoding("x", encoder, {}).maxValueToken(), 9);
  auto empty = test::encoderWith(ranksOf({}), kPatternA);
  EXPECT_EQ(Encoding("x", empty, {}).maxValueToken(), 0);
  EXPECT_EQ(Encoding("x", empty, {{"<|s|>", -5}}).maxValueToken(), 0);
  EXPECT_EQ(withSpecial.encode("ab"), (Ids{4, 9}));
  EXPECT_EQ(withSpecial.encode("<|endoftext|>").size(), 13u);  // one unranked byte each
}

}  // namespace
}  // namespace tessra::tokenizer
