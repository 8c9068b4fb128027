#include "tokenizer/history_counter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tokenizer/encoding.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::tokenizer {
namespace {

const Encoding& cl100kEncoding() {
  static const Encoding encoding("gpt-4", test::encoderWith(test::cl100kRanks(), kPatternB), {});
  return encoding;
}

// Pieces chosen to sit on the split patterns' edges: contractions, digit runs, spaces before
// letters, runs of blanks and line breaks, letters of other scripts, emoji, ill-formed bytes.
std::string randomText(std::mt19937& random, std::size_t maxFragments) {
  static const std::vector<std::string> fragments = {
      "hello", "World", " the",       "'s",      "'LL",
      "don't", "12345", "3.14159",    "   ",     "\n",
      "\n\n",  "\r\n",  "\t",         " \n ",    "!!!",
      " ?",    "...",   "漢字テスト", "Ünïcödé", "👍🏽",
      "ﾃｽﾄ",   "\xff",  "\xe2\x82",   "(x)",     "{\"prompt\": 1}",
      "a",     " ",     "  x",        "—",       "ǅ",
      "١٢٣"};
  std::uniform_int_distribution<std::size_t> count(0, maxFragments);
  std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
  std::string text;
  for (std::size_t n = count(random); n > 0; --n) text += fragments[pick(random)];
  return text;
}

struct Conversation {
  std::string head;
  std::vector<std::string> history;
  std::string tail;

  std::string text(std::size_t first) const {
    std::string whole = head;
    for (std::size_t i = first; i < history.size(); ++i) whole += history[i];
    return whole + tail;
  }
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

TEST(HistoryCounter, EveryRoundInAnyOrderCountsExactlyTheWholeText) {
  const Encoding& encoding = cl100kEncoding();
  std::mt19937 random(2024);
  for (int trial = 0; trial < 40; ++trial) {
    const Conversation conversation = randomConversation(random, 12);
    HistoryCounter counter =
        encoding.historyCounter(conversation.head, conversation.history, conversation.tail);
    for (std::size_t first = 0; first <= conversation.history.size(); ++first) {
      ASSERT_EQ(counter.count(first), encoding.encode(conversation.text(first)).size())
          << "trial " << trial << " round " << first;
    }
  }
  const Conversation conversation = randomConversation(random, 20);
  HistoryCounter counter =
      encoding.historyCounter(conversation.head, conversation.history, conversation.tail);
  for (std::size_t first : {7u, 3u, 19u, 0u, 20u, 11u, 1u, 7u})
    EXPECT_EQ(counter.count(first), encoding.encode(conversation.text(first)).size()) << first;
}

TEST(HistoryCounter, LaterRoundsScanOnlyNearTheJoin) {
  const Encoding& encoding = cl100kEncoding();
  Conversation conversation{
      .head = "You're a helpful assistant. ", .history = {}, .tail = "And today? "};
  for (int i = 0; i < 300; ++i)
    conversation.history.push_back("Question number " + std::to_string(i) +
                                   " about the weather. The answer is that it rains a lot. ");
  HistoryCounter counter =
      encoding.historyCounter(conversation.head, conversation.history, conversation.tail);
  EXPECT_EQ(counter.count(0), encoding.encode(conversation.text(0)).size());
  EXPECT_GT(counter.piecesScannedLastRound(), 300u * 15u);
  for (std::size_t round = 1; round < 10; ++round) {
    counter.count(round);
    EXPECT_LT(counter.piecesScannedLastRound(), 12u) << "round " << round;
  }
}

// Trimming asks from the newest message back: each round takes in only its own message, `fits`
// answers as the count does, and a message far over the limit is scanned only up to it.
TEST(HistoryCounter, RoundsFromTheNewestBackCostWhatTheyHold) {
  const Encoding& encoding = cl100kEncoding();
  std::mt19937 random(77);
  for (int trial = 0; trial < 20; ++trial) {
    const Conversation conversation = randomConversation(random, 10);
    HistoryCounter counter =
        encoding.historyCounter(conversation.head, conversation.history, conversation.tail);
    for (std::size_t first = conversation.history.size() + 1; first-- > 0;) {
      const std::size_t tokens = encoding.encode(conversation.text(first)).size();
      EXPECT_TRUE(counter.fits(first, tokens)) << "trial " << trial << " round " << first;
      if (tokens > 0) {
        EXPECT_FALSE(counter.fits(first, tokens - 1)) << "trial " << trial << " round " << first;
      }
      EXPECT_EQ(counter.count(first), tokens) << "trial " << trial << " round " << first;
    }
  }

  std::string words;
  for (int i = 0; i < 200000; ++i) words += "many words ";
  const std::vector<std::string> history = {words, std::string(4 << 20, 'x') + " ",
                                            "a question and its answer "};
  HistoryCounter counter = encoding.historyCounter("system prompt ", history, "the question ");
  EXPECT_TRUE(counter.fits(2, 100));
  EXPECT_LT(counter.bytesTakenIn(), 100u);
  for (std::size_t first : {1u, 0u}) {
    EXPECT_FALSE(counter.fits(first, 100)) << first;
    EXPECT_LE(counter.piecesScannedLastRound(), 101u) << first;
  }
}

}  // namespace
}  // namespace tessra::tokenizer
