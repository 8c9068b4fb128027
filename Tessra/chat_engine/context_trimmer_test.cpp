#include "Tessra/chat_engine/context_trimmer.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_engine/engine_test_support.h"

namespace tessra {
namespace {

using engine_test::cl100kEncoding;

// Pieces chosen to sit on the split patterns' edges: contractions, digit runs, spaces before
// letters, runs of blanks and line breaks, letters of other scripts, emoji, ill-formed bytes.
const std::vector<std::string>& fragments() {
  static const std::vector<std::string> list = {
      "hello", "World", " the",       "'s",      "'LL",
      "don't", "12345", "3.14159",    "   ",     "\n",
      "\n\n",  "\r\n",  "\t",         " \n ",    "!!!",
      " ?",    "...",   "漢字テスト", "Ünïcödé", "👍🏽",
      "ﾃｽﾄ",   "\xff",  "\xe2\x82",   "(x)",     "{\"prompt\": 1}",
      "a",     " ",     "  x",        "—",       "ǅ",
      "١٢٣"};
  return list;
}

std::string randomText(std::mt19937& random, std::size_t maxFragments) {
  const auto& list = fragments();
  std::uniform_int_distribution<std::size_t> count(0, maxFragments);
  std::uniform_int_distribution<std::size_t> pick(0, list.size() - 1);
  std::string text;
  for (std::size_t n = count(random); n > 0; --n) text += list[pick(random)];
  return text;
}

struct Conversation {
  std::string head;
  std::vector<std::string> history;
  std::string tail;
};

// Parts in their counted form: each text followed by a space.
Conversation randomConversation(std::mt19937& random, std::size_t messages) {
  Conversation conversation;
  conversation.head = randomText(random, 6) + " ";
  for (std::size_t i = 0; i < messages; ++i)
    conversation.history.push_back(randomText(random, 12) + " " + randomText(random, 20) + " ");
  conversation.tail = randomText(random, 10) + " ";
  return conversation;
}

std::string wholeText(const Conversation& conversation, std::size_t first) {
  std::string text = conversation.head;
  for (std::size_t i = first; i < conversation.history.size(); ++i) text += conversation.history[i];
  return text + conversation.tail;
}

TEST(ContextTrimmer, EveryRoundCountsExactlyTheWholeText) {
  const auto encoding = cl100kEncoding();
  std::mt19937 random(2024);
  for (int trial = 0; trial < 40; ++trial) {
    const Conversation conversation = randomConversation(random, 12);
    ContextTrimmer trimmer(encoding, conversation.head, conversation.history, conversation.tail);
    for (std::size_t first = 0; first <= conversation.history.size(); ++first) {
      ASSERT_EQ(trimmer.count(first), encoding->encode(wholeText(conversation, first)).size())
          << "trial " << trial << " round " << first;
    }
  }
}

TEST(ContextTrimmer, RoundsInAnyOrderCountExactly) {
  const auto encoding = cl100kEncoding();
  std::mt19937 random(99);
  const Conversation conversation = randomConversation(random, 20);
  ContextTrimmer trimmer(encoding, conversation.head, conversation.history, conversation.tail);
  for (std::size_t first : {7u, 3u, 19u, 0u, 20u, 11u, 1u, 7u}) {
    EXPECT_EQ(trimmer.count(first), encoding->encode(wholeText(conversation, first)).size())
        << "round " << first;
  }
}

TEST(ContextTrimmer, StopsAtTheSameMessageAsRecountingEveryRound) {
  const auto encoding = cl100kEncoding();
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> size(0, 40);
  for (int trial = 0; trial < 300; ++trial) {
    const Conversation conversation = randomConversation(random, size(random));
    const std::size_t whole = encoding->encode(wholeText(conversation, 0)).size();
    std::uniform_int_distribution<std::int64_t> limits(0, static_cast<std::int64_t>(whole) + 5);
    const std::int64_t limit = limits(random);

    std::vector<std::size_t> fastDrops, literalDrops;
    ContextTrimmer trimmer(encoding, conversation.head, conversation.history, conversation.tail);
    const std::size_t fast =
        trimmer.firstKeptMessage(limit, [&](std::size_t left) { fastDrops.push_back(left); });
    const std::size_t literal = firstKeptMessageByRecounting(
        encoding.get(), conversation.head, conversation.history, conversation.tail, limit,
        [&](std::size_t left) { literalDrops.push_back(left); });
    ASSERT_EQ(fast, literal) << "trial " << trial << " limit " << limit;
    ASSERT_EQ(fastDrops, literalDrops) << "trial " << trial;
  }
}

TEST(ContextTrimmer, LaterRoundsScanOnlyNearTheJoin) {
  const auto encoding = cl100kEncoding();
  std::vector<std::string> history;
  for (int i = 0; i < 300; ++i)
    history.push_back("Question number " + std::to_string(i) +
                      " about the weather. The answer is that it rains a lot in spring. ");
  ContextTrimmer trimmer(encoding, "You're a helpful assistant. ", history, "And today? ");
  const std::size_t first = trimmer.count(0);
  const std::size_t firstRoundPieces = trimmer.piecesScannedLastRound();
  EXPECT_GT(firstRoundPieces, 300u * 15u);
  EXPECT_EQ(first,
            encoding->encode(wholeText({"You're a helpful assistant. ", history, "And today? "}, 0))
                .size());
  for (std::size_t round = 1; round < 10; ++round) {
    trimmer.count(round);
    EXPECT_LT(trimmer.piecesScannedLastRound(), 12u) << "round " << round;
  }
}

TEST(ContextTrimmer, HeadAndTailOverTheLimitKeepNothingAndStop) {
  const auto encoding = cl100kEncoding();
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
