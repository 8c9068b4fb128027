// How soon the whole program answers when a question carries a huge conversation or a huge text,
// as a user meets it: the built program with folders of its own, the service played by a loopback
// server, keys sent with xdotool.
//
// - A question in a conversation that holds a stored answer of 20 MB: from the Return key to the
//   request at the service. Beside it, the same questions in a conversation of one short message,
//   the floor this way of measuring has on this machine (the key's way through the X server, the
//   request's through the loopback).
// - A key typed while a pasted text of 50 MB is sent: the text is pasted (it becomes the
//   question's attachment), Return sends it, and a key typed right after must show in the prompt.
//   What the prompt holds is read as a user copies it (Ctrl+A, Ctrl+C, the clipboard): the copy
//   is answered by the window's GUI thread after it has taken the key, so it comes only once the
//   window answers again. Beside it, in each run, the same key typed and read before the paste,
//   the floor of this measurement (three xdotool runs and a clipboard round trip).
//
// Bars: the request leaves within 0.3 s of Return (median of the questions); the key shows within
// 100 ms more than the key typed at rest (median of the runs). Both are latencies, which only wall
// time measures; the medians and the floors beside them keep a burst of load from deciding a bar.
// TESSRA_BENCH_RUNS sets the questions (and the runs of the key) per figure (5, 3);
// TESSRA_BENCH_PROGRAM measures another build of the program (or a profiler wrapping it). Needs
// the test session (./dev bench): a display, a keyring and xdotool.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/storage/user_settings.h"
#include "bench/bars.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
#include "testing/process_tree.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const bench::Bars kBars{
    {.what = "a question in a conversation holding a 20 MB answer: Return to request",
     .figure = "big conversation request",
     .baseline = {},
     .limit = 300,
     .compare = bench::Compare::atMost,
     .unit = "ms",
     .on = "wall time from the Return key to the request at the loopback server, median of the "
           "questions"},
    {.what = "a question: Return to request, in the 20 MB conversation against a plain one",
     .figure = "big conversation request",
     .baseline = "plain conversation request",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = "wall time, medians of the questions, the plain one the floor of the measurement"},
    {.what = "a key typed while a 50 MB text is sent, against a key typed at rest",
     .figure = "key while sending",
     .baseline = "key at rest",
     .limit = 100,
     .compare = bench::Compare::moreAtMost,
     .unit = "ms",
     .on = "wall time from the key to its copy from the prompt, medians of the runs, each run "
           "timing its key at rest first"},
};

constexpr const char* kKey = "sk-huge-send-bench";
constexpr std::size_t kMegabyte = 1024 * 1024;
constexpr std::size_t kStoredAnswerBytes = 20 * kMegabyte;
constexpr std::size_t kPastedTextBytes = 50 * kMegabyte;

int runsPerFigure(int fallback) {
  return static_cast<int>(bench::positiveFromEnvironment("TESSRA_BENCH_RUNS", fallback));
}

// Prose in lines of about 80 characters, as a long answer or a pasted log holds it.
std::string longText(std::size_t bytes) {
  const std::string line =
      "The counter keeps its state in a small struct and walks the list once, line ";
  std::string text;
  text.reserve(bytes + line.size() + 16);
  for (int n = 0; text.size() < bytes; ++n) text += line + std::to_string(n) + ".\n";
  text.resize(bytes);
  return text;
}

double millisecondsSince(const QElapsedTimer& timer) {
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Runs this process's events (the program's log, the clipboard it serves) until `done` holds;
// false after `timeout`.
template <class Done>
bool runEventsUntil(Done done, std::chrono::milliseconds timeout) {
  return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

// The built program on a conversation of its own, the service answering every question with a
// short streamed answer, the key in the session's keyring.
class Program {
 public:
  // `answer`: the stored answer of the conversation's one message.
  explicit Program(const std::string& answer) {
    const char* other = std::getenv("TESSRA_BENCH_PROGRAM");
    m_program.emplace(
        other && *other ? QString::fromLocal8Bit(other) : QStringLiteral(TESSRA_BINARY),
        m_home.path());
    (void)m_keychain.set(kKey, UserSettings::kOpenAiKeyItem);
    m_program->setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    m_server.route("POST", "/v1/chat/completions", [this](const testing::RecordedRequest&) {
      {
        std::lock_guard lock(m_mutex);
        m_arrivals.push_back(std::chrono::steady_clock::now());
      }
      return chat_window_test::streamedAnswer({"Noted", "."}, 10ms);
    });
    writeConversation(answer);
  }
  ~Program() {
    if (m_program->isRunning()) (void)m_program->quitWith(SIGTERM);
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  testing::HttpServer& server() { return m_server; }

  // Starts it and waits until its panel has the keyboard and it rests, the page drawn.
  bool start() {
    m_program->start();
    if (!m_program->isRunning()) return false;
    return runEventsUntil([&] { return m_program->hasKeyboard(); }, 60s) && rest();
  }

  // Waits, running this process's events, until the program and its browser rest.
  bool rest() {
    const testing::ProcessTree tree(static_cast<pid_t>(m_program->pid()));
    auto idle = std::async(std::launch::async, [tree] { return tree.cpuUntilIdle(180s); });
    runEventsUntil([&] { return idle.wait_for(0s) == std::future_status::ready; }, 200s);
    return idle.valid() && idle.wait_for(0s) == std::future_status::ready && idle.get();
  }

  // Presses Return: when it was pressed.
  static std::chrono::steady_clock::time_point send() {
    const auto pressed = std::chrono::steady_clock::now();
    testing::pressKeys(QStringLiteral("Return"));
    return pressed;
  }

  // The milliseconds from `pressed` until request `index` had reached the service; nothing when
  // it did not come within two minutes.
  std::optional<double> requestTime(std::size_t index,
                                    std::chrono::steady_clock::time_point pressed) {
    const auto arrived = [&]() -> std::optional<std::chrono::steady_clock::time_point> {
      std::lock_guard lock(m_mutex);
      if (m_arrivals.size() <= index) return std::nullopt;
      return m_arrivals[index];
    };
    if (!runEventsUntil([&] { return arrived().has_value(); }, 120s)) return std::nullopt;
    return std::chrono::duration<double, std::milli>(*arrived() - pressed).count();
  }

  // Waits for the answer to request `index` to end and the program to rest.
  bool answered(std::size_t index) {
    return runEventsUntil([&] { return m_server.streamEnds().size() > index; }, 120s) && rest();
  }

 private:
  void writeConversation(const std::string& answer) {
    const fs::path data = m_home.path() / "data" / "TessraAI";
    fs::create_directories(data);
    const Conversation conversation{"bench", "📚 Bench", platform::Date(), std::nullopt};
    std::ofstream(data / "conversations.json")
        << nlohmann::json(ConversationList{"list", "bench", {conversation}}).dump();
    const ChatSession session{
        "bench", "📚 Bench", {ChatMessage("m0", "Tell me everything", answer, true, false)}};
    std::ofstream(data / "bench.json") << nlohmann::json(session).dump();
  }

  testing::TempDir m_home;
  std::mutex m_mutex;  // guards m_arrivals
  // When each request had been read whole by the service, in order.
  std::vector<std::chrono::steady_clock::time_point> m_arrivals;
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  std::optional<testing::RunningProgram> m_program;
};

// Questions in a conversation whose one message has an answer of `answerBytes`: the median of
// their milliseconds from Return to the request.
std::optional<double> questionLatency(benchmark::State& state, std::size_t answerBytes,
                                      const char* counter) {
  Program program(longText(answerBytes));
  if (!program.start()) {
    bench::fail(state, "the program did not start and rest");
    return std::nullopt;
  }
  bench::Samples latencies;
  const int questions = runsPerFigure(5);
  for (int i = 0; i < questions; ++i) {
    testing::typeText(QStringLiteral("Question %1").arg(i));
    const auto index = static_cast<std::size_t>(i);
    const std::optional<double> latency = program.requestTime(index, Program::send());
    if (!latency || !program.answered(index)) {
      bench::fail(state, "a question was not sent and answered");
      return std::nullopt;
    }
    state.counters[std::string(counter) + "_" + std::to_string(i + 1) + "_ms"] = *latency;
    latencies.add(*latency);
  }
  return latencies.median();
}

void BM_QuestionInBigConversation(benchmark::State& state) {
  for (auto _ : state) {
    const auto plain = questionLatency(state, 40, "plain");
    if (!plain) return;
    const auto big = questionLatency(state, kStoredAnswerBytes, "big");
    if (!big) return;
    state.counters["plain_ms"] = *plain;
    state.counters["big_ms"] = *big;
    state.SetIterationTime(*big / 1e3);
    bench::record("plain conversation request", *plain);
    bench::record("big conversation request", *big);
  }
}
BENCHMARK(BM_QuestionInBigConversation)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A key typed into the prompt and read back through the clipboard: the milliseconds from the key
// to its copy; nothing when the copy did not hold it within 60 s.
std::optional<double> keyLatency() {
  QElapsedTimer timer;
  timer.start();
  testing::typeText(QStringLiteral("x"));
  const QString copied = testing::copyAll(60s);
  const double milliseconds = millisecondsSince(timer);
  // Emptied again, so that the next send goes with no text of its own.
  testing::pressKeys(QStringLiteral("BackSpace"));
  if (copied != QStringLiteral("x")) return std::nullopt;
  return milliseconds;
}

void BM_KeyWhileHugeTextIsSent(benchmark::State& state) {
  const QString text = QString::fromStdString(longText(kPastedTextBytes));
  for (auto _ : state) {
    bench::Samples atRest;
    bench::Samples whileSending;
    bench::Samples requests;
    const int runs = runsPerFigure(3);
    for (int run = 0; run < runs; ++run) {
      Program program("Short.");
      if (!program.start()) {
        bench::fail(state, "the program did not start and rest");
        return;
      }
      const std::optional<double> rest = keyLatency();
      // This process serves the paste: its events run until the program has taken the text.
      QGuiApplication::clipboard()->setText(text);
      testing::pressKeys(QStringLiteral("ctrl+v"));
      if (!rest || !program.rest()) {
        bench::fail(state, "the key at rest or the paste was not taken");
        return;
      }
      const auto pressed = Program::send();
      const std::optional<double> key = keyLatency();
      const std::optional<double> request = program.requestTime(0, pressed);
      if (!request || !key || !program.answered(0)) {
        bench::fail(state, "the text was not sent, or the key typed meanwhile not shown");
        return;
      }
      if (program.server().requests().front().body.size() < kPastedTextBytes) {
        bench::fail(state, "the pasted text did not go with the question");
        return;
      }
      const std::string suffix = "_" + std::to_string(run + 1) + "_ms";
      state.counters["rest" + suffix] = *rest;
      state.counters["sending" + suffix] = *key;
      state.counters["request" + suffix] = *request;
      atRest.add(*rest);
      whileSending.add(*key);
      requests.add(*request);
    }
    state.counters["rest_ms"] = atRest.median();
    state.counters["sending_ms"] = whileSending.median();
    state.counters["request_ms"] = requests.median();
    state.SetIterationTime(whileSending.median() / 1e3);
    bench::record("key at rest", atRest.median());
    bench::record("key while sending", whileSending.median());
  }
}
BENCHMARK(BM_KeyWhileHugeTextIsSent)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return tessra::bench::runBenchmarks(argc, argv);
}
