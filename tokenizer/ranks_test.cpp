#include "tokenizer/ranks.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <unordered_map>

#include "tokenizer/vocabulary_loader.h"

namespace tessra::tokenizer {
namespace {

using Entries = std::unordered_map<std::string, Rank>;

// Every length takes its own road through the table (direct bytes, direct pairs, the cached
// short tokens, the full table), and a rank file may give any 64-bit rank: each road must find
// every rank it is given.
TEST(Ranks, FindsEveryRankWhateverItsSizeOrTheTokensLength) {
  const Rank big = Rank{1} << 40;
  const Rank lowest = std::numeric_limits<Rank>::min();
  const Entries entries{
      {"a", -7},
      {"b", big},
      {"ab", -3},
      {"cd", big},
      {"ef", lowest},
      {"gh", 0},
      {"abc", -4},
      {"abcd", big + 1},
      {"abcdefgh", 12},
      {"abcdefghi", -9},
      {"abcdefghij", big + 2},
  };
  const Ranks ranks(entries);
  EXPECT_EQ(ranks.size(), entries.size());
  for (const auto& [bytes, rank] : entries) EXPECT_EQ(ranks.find(bytes), rank) << bytes;
  for (const char* absent : {"c", "ba", "abe", "abcdefgx", "abcdefghix"})
    EXPECT_EQ(ranks.find(absent), kNoRank) << absent;
  EXPECT_EQ(ranks.entries(), entries);
  EXPECT_EQ(ranks.maxRank(), big + 2);
}

TEST(Ranks, AnEmptyTokenIsNoEntrySoATableEqualsItself) {
  const Ranks ranks(Entries{{"", 1}, {"a", 2}});
  EXPECT_EQ(ranks.size(), 1u);
  EXPECT_EQ(ranks.entries(), (Entries{{"a", 2}}));
  EXPECT_TRUE(ranks == ranks);
  // A merges-file line of characters outside the printable form decodes to no bytes at all.
  const auto merged = Load::parseMergesFile("\u20ac \u20ac\n").ranks;
  EXPECT_TRUE(Ranks(merged) == Ranks(merged));
}

TEST(Ranks, EmptyVocabularyHoldsNothing) {
  const Ranks ranks;
  EXPECT_TRUE(ranks.empty());
  EXPECT_EQ(ranks.maxRank(), 0);
  for (const char* bytes : {"a", "ab", "abc", "abcdefghijk"}) EXPECT_EQ(ranks.find(bytes), kNoRank);
}

}  // namespace
}  // namespace tessra::tokenizer
