// Building the request of a 1,000-message conversation with no message limit for the 4,096-token
// model: the trimming that counts only what changed each round against the literal rule that
// rebuilds the list and recounts all of it every round. Both must keep the same messages. Bar: the
// incremental trimming takes at most the literal rule's time.
//
// Then the same conversation after one answer of 20 MB, ten messages from its end, as words and as
// one run of a letter: trimming counts from the newest message back and stops at the limit, so the
// answer it drops costs about what the limit holds, beside copying it. Bar: each takes at most
// 250 ms, where counting the whole history first took seconds (8 s for the run of a letter, 1.2 GB
// at its peak).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Tessra/chat_engine/message_builder.h"
#include "bench/bars.h"
#include "tokenizer/builtin_vocabulary.h"
#include "tokenizer/byte_pair_encoder.h"
#include "tokenizer/piece_scanner.h"
#include "tokenizer/vocabulary_loader.h"

namespace {

using namespace tessra;

std::shared_ptr<const tokenizer::Encoding> cl100k() {
  static const auto encoding = [] {
    auto encoder = std::make_shared<const tokenizer::BytePairEncoder>(
        tokenizer::builtinRanks("cl100k_base"),
        std::make_shared<const tokenizer::SplitPattern>(std::string(tokenizer::kPatternB)));
    return std::make_shared<const tokenizer::Encoding>("gpt-3.5-turbo", std::move(encoder),
                                                       tokenizer::SpecialTokens{});
  }();
  return encoding;
}

RequestPlan conversation() {
  RequestPlan plan;
  plan.model = ChatGPTModels::gpt35;
  plan.messageLimit = 0;
  std::mt19937 random(1000);
  const std::vector<std::string> words = {
      "the",      "weather", "tomorrow", "will",  "be",    "cloudy", "with",   "some",
      "rain",     "in",      "northern", "parts", "while", "the",    "south",  "stays",
      "dry",      "and",     "warm,",    "about", "24°C.", "Don't",  "forget", "an",
      "umbrella", "—",       "東京",     "12345", "(ok)",  "\n"};
  for (int i = 0; i < 1000; ++i) {
    std::string question = "Question " + std::to_string(i) + ":";
    for (int w = 0; w < 12; ++w) question += " " + words[random() % words.size()];
    std::string answer;
    for (int w = 0; w < 60; ++w) answer += words[random() % words.size()] + " ";
    plan.contextMessages.emplace_back("m" + std::to_string(i), question, answer, true, false);
  }
  return plan;
}

enum class LongAnswer { none, words, oneRun };

RequestPlan conversation(LongAnswer longAnswer) {
  RequestPlan plan = conversation();
  constexpr std::size_t kBytes = 20 << 20;
  std::string& answer = plan.contextMessages[plan.contextMessages.size() - 10].answer;
  switch (longAnswer) {
    case LongAnswer::none:
      break;
    case LongAnswer::words:
      answer.clear();
      while (answer.size() < kBytes) answer += "the weather tomorrow will be cloudy, ";
      break;
    case LongAnswer::oneRun:
      answer.assign(kBytes, 'x');
      break;
  }
  return plan;
}

void run(benchmark::State& state, TrimMode mode, const char* figure,
         LongAnswer longAnswer = LongAnswer::none) {
  const RequestPlan plan = conversation(longAnswer);
  const ChatMessage question("new", "And what about next week?", "", false, false);
  const EncodingProvider provider = [](std::string_view) { return cl100k(); };
  provider("gpt-3.5-turbo");
  std::size_t dropped = 0;
  const bench::IterationTimer timer(state, figure);
  for (auto _ : state) {
    BuiltMessages built = buildMessages(question, plan, provider, mode);
    dropped = built.droppedMessages;
    benchmark::DoNotOptimize(built);
  }
  state.counters["dropped"] = static_cast<double>(dropped);
}

void BM_TrimIncremental(benchmark::State& state) {
  run(state, TrimMode::incremental, "incremental");
}
void BM_TrimRecountEveryRound(benchmark::State& state) {
  run(state, TrimMode::recountEveryRound, "recount");
}

void BM_TrimAfterALongAnswerOfWords(benchmark::State& state) {
  run(state, TrimMode::incremental, "after 20 MB of words", LongAnswer::words);
}
void BM_TrimAfterALongAnswerOfOneRun(benchmark::State& state) {
  run(state, TrimMode::incremental, "after 20 MB of one letter", LongAnswer::oneRun);
}

BENCHMARK(BM_TrimIncremental)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimRecountEveryRound)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TrimAfterALongAnswerOfWords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimAfterALongAnswerOfOneRun)->Unit(benchmark::kMillisecond);

constexpr const char* kOnCpu = "CPU time of the process, mean of the iterations";

const bench::Bars kBars{{.what = "incremental trimming",
                         .figure = "incremental",
                         .baseline = "recount",
                         .limit = 1,
                         .unit = "ms",
                         .on = kOnCpu},
                        {.what = "trimming after an answer of 20 MB of words",
                         .figure = "after 20 MB of words",
                         .baseline = {},
                         .limit = 250,
                         .compare = bench::Compare::atMost,
                         .unit = "ms",
                         .on = kOnCpu},
                        {.what = "trimming after an answer of 20 MB of one letter",
                         .figure = "after 20 MB of one letter",
                         .baseline = {},
                         .limit = 250,
                         .compare = bench::Compare::atMost,
                         .unit = "ms",
                         .on = kOnCpu}};

}  // namespace
