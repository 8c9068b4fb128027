#include "Tessra/chat_engine/context_trimmer.h"

#include <gtest/gtest.h>

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
