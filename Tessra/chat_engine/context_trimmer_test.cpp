#include "Tessra/chat_engine/context_trimmer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Tessra/chat_engine/engine_test_support.h"

namespace tessra {
namespace {

// How each round is counted is the token counter's (tokenizer/history_counter_test.cpp); these
// are the trimming rule's own cases.
TEST(ContextTrimmer, StopsAtTheFirstRoundThatFitsTellingEachDrop) {
  const auto encoding = engine_test::cl100kEncoding();
  const std::string head = "You're a helpful assistant. ";
  const std::vector<std::string> history = {"one two three four ", "five six ", "seven "};
  const std::string tail = "question ";
  for (std::int64_t limit = 0; limit < 20; ++limit) {
    std::vector<std::size_t> drops, literalDrops;
    ContextTrimmer trimmer(encoding, head, history, tail);
    const std::size_t first =
        trimmer.firstKeptMessage(limit, [&](std::size_t left) { drops.push_back(left); });
    EXPECT_EQ(first,
              firstKeptMessageByRecounting(encoding.get(), head, history, tail, limit,
                                           [&](std::size_t left) { literalDrops.push_back(left); }))
        << limit;
    EXPECT_EQ(drops, literalDrops) << limit;
  }
}

// Counted from the newest message back, trimming keeps what dropping from the oldest keeps, also
// where messages meet on the split patterns' edges (contractions, digit runs, runs of blanks and
// line breaks, other scripts, ill-formed bytes).
TEST(ContextTrimmer, KeepsWhatDroppingFromTheOldestKeeps) {
  const auto encoding = engine_test::cl100kEncoding();
  const std::vector<std::string> fragments = {
      "hello", " the", "'s",       "don't", "12345", "   ", "\n", "\r\n", "\t", " ?",
      "...",   "漢字", "👍🏽", "\xff",  "(x)",   "a",   " ",  "—",    "١٢٣"};
  std::mt19937 random(29);
  const auto text = [&](std::size_t most) {
    std::string made;
    for (std::size_t n = random() % (most + 1); n > 0; --n)
      made += fragments[random() % fragments.size()];
    return made + " ";
  };
  for (int trial = 0; trial < 60; ++trial) {
    const std::string head = text(4);
    std::vector<std::string> history;
    for (int i = 0; i < 8; ++i) history.push_back(text(6) + text(12));
    const std::string tail = text(4);
    const std::size_t whole = encoding
                                  ->encode(head +
                                           [&] {
                                             std::string all;
                                             for (const std::string& message : history)
                                               all += message;
                                             return all;
                                           }() +
                                           tail)
                                  .size();
    for (std::int64_t limit = 0; limit <= static_cast<std::int64_t>(whole); limit += 3) {
      ContextTrimmer trimmer(encoding, head, history, tail);
      ASSERT_EQ(trimmer.firstKeptMessage(limit),
                firstKeptMessageByRecounting(encoding.get(), head, history, tail, limit))
          << "trial " << trial << " limit " << limit;
    }
  }
}

TEST(ContextTrimmer, HeadAndTailOverTheLimitKeepNothingAndStop) {
  const auto encoding = engine_test::cl100kEncoding();
  std::vector<std::size_t> drops;
  ContextTrimmer trimmer(encoding, "a long system prompt that never fits ", {"q a ", "q2 a2 "},
                         "question ");
  EXPECT_EQ(trimmer.firstKeptMessage(3, [&](std::size_t left) { drops.push_back(left); }), 2u);
  EXPECT_EQ(drops, (std::vector<std::size_t>{2, 1}));
}

TEST(ContextTrimmer, WithoutAnEncodingEverythingFits) {
  ContextTrimmer trimmer(nullptr, "head ", {"one ", "two "}, "tail ");
  EXPECT_EQ(trimmer.count(0), 0u);
  EXPECT_EQ(trimmer.firstKeptMessage(0), 0u);
}

}  // namespace
}  // namespace tessra
