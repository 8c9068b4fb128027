// What the message page costs the whole program, beside a bare QWebEngineView doing the least the
// same work needs, each measured over its whole process tree (the program or the bare view with
// its browser processes, testing/process_tree.h), one after the other in processes of their own:
//
// - Streaming: a Markdown answer (40 KB) comes from a loopback service into the built program,
//   asked in its panel as a user asks, after a first question, at two paces: 5 characters every
//   15 ms, where the bare view pays for 67 page updates a second, and the service's usual one,
//   about 336 characters 2.5 times a second. The bare view appends the same pieces to a page as
//   text at the same pace and, as anyone watching an answer come does, keeps its end in view,
//   scrolled there after each piece as the program is; it draws its frames as the program does
//   (browser_rendering.h). Bar at each pace: the program's CPU-seconds at most 1.5x the bare
//   view's.
// - Growth: a 200 KB answer at the usual pace into the program alone. Bar: the CPU per piece of
//   its last quarter at most 1.5x that of its first, so that a piece costs the same however long
//   the answer has grown.
// - Opening 1,000 messages: the program switches to a stored conversation of 1,000 messages
//   (a click into the page, Ctrl+K, its name, Return); the bare view sets the same messages as
//   static HTML. Bars: the CPU-seconds until the tree rests at most 3x the bare view's; anonymous
//   memory with them open at most 1.3x the bare view's.
//
// No bar reads wall time, which a loaded machine stretches: they compare CPU-seconds, of the
// program and the bare view in pairs of runs one right after the other (the order alternating,
// the pair of the median ratio judged), or of two stretches of the same run. Each bar's line says
// which. Each bar prints whether it holds; a run that fails or times out is an error, not a
// figure. TESSRA_BENCH_STREAM_KB and TESSRA_BENCH_GROWTH_KB set the two answers' sizes,
// TESSRA_BENCH_RUNS the pairs (and growth runs) per figure (3); TESSRA_BENCH_PROGRAM measures
// another build of the program than the one built beside the benchmark. Needs the test session
// (./dev bench): a display, a keyring and xdotool.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Tessra/chat_window/browser_rendering.h"
#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/storage/chat_session_manager.h"
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
using nlohmann::json;
namespace fs = std::filesystem;

const bench::Bars kBars{
    {.what = "streaming 5 characters every 15 ms, against the bare view (same renderer)",
     .figure = "program fine streaming CPU",
     .baseline = "bare fine streaming CPU",
     .limit = 1.5,
     .unit = "s",
     .on = "CPU-seconds of the process trees, the pair of runs of median ratio"},
    {.what = "streaming 336 characters 2.5 times a second, against the bare view (same renderer)",
     .figure = "program coarse streaming CPU",
     .baseline = "bare coarse streaming CPU",
     .limit = 1.5,
     .unit = "s",
     .on = "CPU-seconds of the process trees, the pair of runs of median ratio"},
    {.what = "streaming a long answer at the coarse pace: its last quarter against its first",
     .figure = "program last quarter CPU per piece",
     .baseline = "program first quarter CPU per piece",
     .limit = 1.5,
     .unit = "ms",
     .on = "CPU time per piece of the process tree in the same run, the run of median ratio"},
    {.what = "streaming 5 characters every 15 ms: share of a core, against the bare view's",
     .figure = "program fine streaming share",
     .baseline = "bare fine streaming share",
     .compare = bench::Compare::reportOnly,
     .unit = "% of a core",
     .on = "nothing: wall-clock shares move with the machine's load"},
    {.what = "streaming 336 characters 2.5 times a second: share of a core, against the bare "
             "view's",
     .figure = "program coarse streaming share",
     .baseline = "bare coarse streaming share",
     .compare = bench::Compare::reportOnly,
     .unit = "% of a core",
     .on = "nothing: wall-clock shares move with the machine's load"},
    {.what = "opening 1,000 messages: CPU-seconds until rest, against the bare view's layout",
     .figure = "program opening CPU",
     .baseline = "bare opening CPU",
     .limit = 3,
     .unit = "s",
     .on = "CPU-seconds of the process tree until it rests, its quiet stretch included"},
    {.what = "opening 1,000 messages: anonymous memory, against the bare view's",
     .figure = "program opened anonymous",
     .baseline = "bare opened anonymous",
     .limit = 1.3,
     .unit = "MiB",
     .on = "anonymous pages of the process trees, which no other program shares"},
};

// How an answer comes: `pieceBytes` at a time, each `gap` after the last.
struct Pace {
  const char* name;
  std::size_t pieceBytes;
  std::chrono::milliseconds gap;
};
// Fine enough that the bare view pays for 67 page updates a second.
constexpr Pace kFinePace{"fine", 5, 15ms};
// The service's usual pace.
constexpr Pace kCoarsePace{"coarse", 336, 400ms};

constexpr int kOpenedMessages = 1000;
constexpr const char* kKey = "sk-page-cost-bench";
constexpr const char* kBigConversation = "Thousand";
// The page of the floating window at its default size.
constexpr int kPageWidth = 700;
constexpr int kPageHeight = 1000;

QString g_self;

std::size_t streamedBytes() {
  return bench::positiveFromEnvironment("TESSRA_BENCH_STREAM_KB", 40) * 1024;
}
std::size_t growthBytes() {
  return bench::positiveFromEnvironment("TESSRA_BENCH_GROWTH_KB", 200) * 1024;
}
int runsPerFigure() {
  return static_cast<int>(bench::positiveFromEnvironment("TESSRA_BENCH_RUNS", 3));
}

// Markdown as the service writes it: headings, prose, lists and fenced code.
std::string streamedAnswer(std::size_t bytes) {
  std::string text;
  for (int section = 0; text.size() < bytes; ++section) {
    text += "## Step " + std::to_string(section) +
            "\n\nThe function below keeps **state** in a small `struct` and walks the list "
            "once, so the cost stays linear.\n\n- first point with `code`\n- second point\n\n"
            "```cpp\nstruct Counter {\n  int value = 0;\n  void add(int n) { value += n; }\n};\n"
            "\nint total(const std::vector<int>& xs) {\n  Counter c;\n  for (int x : xs) "
            "c.add(x);\n  return c.value;\n}\n```\n\n";
  }
  return text.substr(0, bytes);
}

std::vector<std::string> streamedPieces(std::size_t bytes, std::size_t pieceBytes) {
  const std::string answer = streamedAnswer(bytes);
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < answer.size(); at += pieceBytes)
    pieces.push_back(answer.substr(at, pieceBytes));
  return pieces;
}

// One of the opened messages, as the program stores it and as static HTML for the bare view.
struct OpenedMessage {
  std::string id;
  std::string question;
  std::string answer;
  std::string html;
};

OpenedMessage openedMessage(int i) {
  const std::string n = std::to_string(i);
  return {
      "m" + n, "Question number " + n + " about the counter",
      "An answer with **bold**, a [link](https://example.com) and code:\n\n```python\ndef f(x):\n"
      "    return x * " +
          n + "\n```\n\n- one\n- two\n",
      "<article><section class=q>Question number " + n +
          " about the counter</section><section><p>An answer with <strong>bold</strong>, a <a "
          "href=\"https://example.com\">link</a> and code:</p><pre><code>def f(x):\n    return x "
          "* " +
          n +
          "\n</code></pre><ul><li>one</li><li>two</li></ul></section><footer>Jan 1, 2024"
          "</footer></article>"};
}

// Waits up to `timeout` for `condition`, looking every 100 ms; the parent runs no event loop
// while it measures.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

// The built program with folders of its own, the service on a loopback server and the key in
// the session's keyring; past the onboarding.
class Program {
 public:
  Program() {
    for (const char* folder : {"data", "config", "cache"})
      fs::create_directories(m_home.path() / folder);
    fs::create_directories(m_home.path() / "config" / "TessraAI");
    std::ofstream(m_home.path() / "config" / "TessraAI" / "defaults.json")
        << R"({"onboardingPresented": true})";
    (void)m_keychain.set(kKey, UserSettings::kOpenAiKeyItem);
  }
  ~Program() {
    quit();
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  const fs::path& home() const { return m_home.path(); }
  testing::HttpServer& server() { return m_server; }

  // Starts it and waits until the panel has the keyboard and the program rests.
  bool start() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* folder : {"data", "config", "cache"})
      environment.insert(QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(folder).toUpper()),
                         QString::fromStdString(m_home.path() / folder));
    environment.insert(QStringLiteral("TESSRA_AI_BASE_URL"),
                       QString::fromStdString(m_server.baseUrl()));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    const char* other = std::getenv("TESSRA_BENCH_PROGRAM");
    m_process.start(other && *other ? QString::fromLocal8Bit(other) : QStringLiteral(TESSRA_BINARY),
                    {});
    if (!m_process.waitForStarted(10000)) return false;
    const QString pid = QString::number(m_process.processId());
    if (!waitFor([&] { return testing::xdotool({"getwindowfocus", "getwindowpid"}) == pid; }, 30s))
      return false;
    return tree().cpuUntilIdle(60s).has_value();
  }

  testing::ProcessTree tree() const { return testing::ProcessTree(m_process.processId()); }

  // Opens a conversation as a user does without the mouse: Ctrl+K, its name, Return. The click
  // into the page first takes the keyboard from the prompt, which keeps Ctrl+K for itself.
  void openConversation(const std::string& name) {
    const QPoint middle = testing::windowFrame(testing::focusedWindow()).center();
    testing::clickAt(middle.x(), middle.y());
    testing::xdotool({"key", "ctrl+k"});
    // The switcher takes the keyboard as it opens.
    std::this_thread::sleep_for(700ms);
    typeLine(name);
  }

  std::string latestSessionID() const {
    std::ifstream file(m_home.path() / "data" / "TessraAI" / "conversations.json");
    const json list = json::parse(file, nullptr, false);
    return list.is_object() && list.value("latestSessionID", json()).is_string()
               ? list["latestSessionID"].get<std::string>()
               : std::string();
  }

  void typeLine(const std::string& text) {
    testing::xdotool({"type", "--delay", "15", QString::fromStdString(text)});
    testing::xdotool({"key", "Return"});
  }

  void quit() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) m_process.kill();
    m_process.waitForFinished(5000);
  }

 private:
  testing::TempDir m_home;
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  QProcess m_process;
};

// This benchmark run again as the bare view (see bareMain), told by lines on its input when to
// work; it answers with lines of its own.
class BareView {
 public:
  explicit BareView(const QString& mode) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(g_self, {QStringLiteral("--bare=") + mode});
  }
  ~BareView() {
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) m_process.kill();
    m_process.waitForFinished(5000);
  }

  testing::ProcessTree tree() const { return testing::ProcessTree(m_process.processId()); }

  // Waits for `line` from the bare view.
  bool expect(const char* line, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine()) {
      const auto left = timeout.count() - timer.elapsed();
      if (left <= 0 || !m_process.waitForReadyRead(static_cast<int>(left))) return false;
    }
    return m_process.readLine().trimmed() == line;
  }
  void tell(const char* line) {
    m_process.write(QByteArray(line) + '\n');
    m_process.waitForBytesWritten(1000);
  }

 private:
  QProcess m_process;
};

// What one streamed answer cost a process tree.
struct StreamCost {
  double cpuSeconds = 0;
  double wallSeconds = 0;
  // Milliseconds of CPU per piece over each quarter of the pieces.
  std::array<double, 4> quarters{};
  // CPU-seconds by the role of the process (testing::ProcessTree::cpuSecondsByRole).
  std::map<std::string, double> roles;
};

std::map<std::string, double> rolesSince(const testing::ProcessTree& tree,
                                         const std::map<std::string, double>& before) {
  std::map<std::string, double> used = tree.cpuSecondsByRole();
  for (auto& [role, seconds] : used)
    if (const auto found = before.find(role); found != before.end()) seconds -= found->second;
  return used;
}

// Reads the tree's CPU time at the quarters of the pieces that go out from `start` on, the first
// `gap` after it: each reading half a gap after the last piece of its quarter went out, when the
// pieces of the quarter have arrived and the next one has not.
std::array<double, 4> quarterCosts(const testing::ProcessTree& tree,
                                   std::chrono::steady_clock::time_point start, std::size_t pieces,
                                   std::chrono::milliseconds gap) {
  const auto at = [&](std::size_t piece) {
    return start + gap * static_cast<long>(piece) + gap / 2;
  };
  std::array<double, 4> perPiece{};
  std::this_thread::sleep_until(at(0));
  double last = tree.cpuSeconds();
  for (std::size_t quarter = 0; quarter < 4; ++quarter) {
    const std::size_t begin = pieces * quarter / 4;
    const std::size_t end = pieces * (quarter + 1) / 4;
    std::this_thread::sleep_until(at(end));
    const double now = tree.cpuSeconds();
    perPiece[quarter] = end > begin ? 1e3 * (now - last) / static_cast<double>(end - begin) : 0;
    last = now;
  }
  return perPiece;
}

// The program asked a second question, answered with `pieces` at `pace`, from the question to its
// rest after the answer. The first, answered in a word, is not measured: what a program loads once
// for its first question (the vocabulary that counts tokens, the service's client) is no cost of
// the page.
std::optional<StreamCost> programStream(const std::vector<std::string>& pieces, const Pace& pace,
                                        std::string& failure) {
  Program program;
  program.server().route("POST", "/v1/chat/completions",
                         chat_window_test::streamedAnswer({"Hello."}, pace.gap));
  if (!program.start()) {
    failure = "the program did not start and rest";
    return std::nullopt;
  }
  const testing::ProcessTree tree = program.tree();
  program.typeLine("Hello");
  if (!program.server().waitForStreamEnd(0, 20s) || !tree.cpuUntilIdle(60s)) {
    failure = "the first question was not answered";
    return std::nullopt;
  }
  program.server().route("POST", "/v1/chat/completions",
                         chat_window_test::streamedAnswer(pieces, pace.gap));
  program.typeLine("Explain the counter");
  const double before = tree.cpuSeconds();
  const auto rolesBefore = tree.cpuSecondsByRole();
  const auto wallStart = std::chrono::steady_clock::now();
  if (!program.server().waitForRequest(1, 20s)) {
    failure = "the question did not reach the service";
    return std::nullopt;
  }
  StreamCost cost;
  cost.quarters = quarterCosts(tree, std::chrono::steady_clock::now(), pieces.size(), pace.gap);
  if (!program.server().waitForStreamEnd(1, pieces.size() * pace.gap * 3)) {
    failure = "the answer did not stream to its end";
    return std::nullopt;
  }
  // What the last pieces still cost the page.
  if (!tree.cpuUntilIdle(60s)) {
    failure = "the program did not rest after the answer";
    return std::nullopt;
  }
  cost.cpuSeconds = tree.cpuSeconds() - before;
  cost.roles = rolesSince(tree, rolesBefore);
  cost.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  return cost;
}

// The bare view appending the same pieces at the same pace, from "go" to its rest.
std::optional<StreamCost> bareStream(std::size_t bytes, const Pace& pace, std::string& failure) {
  BareView bare(QStringLiteral("stream:%1:%2:%3")
                    .arg(bytes)
                    .arg(pace.pieceBytes)
                    .arg(static_cast<qint64>(pace.gap.count())));
  if (!bare.expect("ready", 60s) || !bare.tree().cpuUntilIdle(60s)) {
    failure = "the bare view did not start and rest";
    return std::nullopt;
  }
  const testing::ProcessTree tree = bare.tree();
  const std::size_t pieces = (bytes + pace.pieceBytes - 1) / pace.pieceBytes;
  const double before = tree.cpuSeconds();
  const auto rolesBefore = tree.cpuSecondsByRole();
  const auto wallStart = std::chrono::steady_clock::now();
  bare.tell("go");
  StreamCost cost;
  cost.quarters = quarterCosts(tree, wallStart, pieces, pace.gap);
  if (!bare.expect("streamed", pieces * pace.gap * 3) || !tree.cpuUntilIdle(60s)) {
    failure = "the bare view did not stream to its end";
    return std::nullopt;
  }
  cost.cpuSeconds = tree.cpuSeconds() - before;
  cost.roles = rolesSince(tree, rolesBefore);
  cost.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  return cost;
}

// The quarters' CPU per piece, and the share of a core of each role of the tree.
void setDetailCounters(benchmark::State& state, const std::string& prefix, const StreamCost& cost) {
  for (std::size_t quarter = 0; quarter < cost.quarters.size(); ++quarter)
    state.counters[prefix + "_q" + std::to_string(quarter + 1) + "_ms_per_piece"] =
        cost.quarters[quarter];
  for (const auto& [role, seconds] : cost.roles)
    state.counters[prefix + "_" + role + "_pct"] = 100 * seconds / cost.wallSeconds;
}

// Pairs of runs, the program and the bare view one right after the other (which goes first
// alternates), so that both meet the same load; the pair of the median ratio is judged.
void BM_StreamingCost(benchmark::State& state, const Pace& pace) {
  const std::size_t bytes = streamedBytes();
  const std::vector<std::string> pieces = streamedPieces(bytes, pace.pieceBytes);
  const std::string name = pace.name;
  for (auto _ : state) {
    std::vector<std::pair<StreamCost, StreamCost>> pairs;
    double wall = 0;
    for (int run = 0; run < runsPerFigure(); ++run) {
      std::string failure;
      std::optional<StreamCost> program;
      std::optional<StreamCost> bare;
      if (run % 2 == 0) program = programStream(pieces, pace, failure);
      if (failure.empty()) bare = bareStream(bytes, pace, failure);
      if (failure.empty() && !program) program = programStream(pieces, pace, failure);
      if (!failure.empty()) {
        bench::fail(state, failure);
        return;
      }
      wall += program->wallSeconds;
      pairs.emplace_back(*program, *bare);
      state.counters["ratio_run" + std::to_string(run + 1)] =
          program->cpuSeconds / bare->cpuSeconds;
    }
    std::ranges::sort(
        pairs, {}, [](const auto& pair) { return pair.first.cpuSeconds / pair.second.cpuSeconds; });
    const auto& [program, bare] = pairs[pairs.size() / 2];
    const double programShare = program.cpuSeconds / program.wallSeconds;
    const double bareShare = bare.cpuSeconds / bare.wallSeconds;
    state.counters["answer_KB"] = static_cast<double>(bytes) / 1024;
    state.counters["program_cpu_s"] = program.cpuSeconds;
    state.counters["bare_cpu_s"] = bare.cpuSeconds;
    state.counters["program_core_pct"] = 100 * programShare;
    state.counters["bare_core_pct"] = 100 * bareShare;
    state.counters["ratio"] = program.cpuSeconds / bare.cpuSeconds;
    setDetailCounters(state, "program", program);
    setDetailCounters(state, "bare", bare);
    state.SetIterationTime(wall);
    bench::record("program " + name + " streaming CPU", program.cpuSeconds);
    bench::record("bare " + name + " streaming CPU", bare.cpuSeconds);
    bench::record("program " + name + " streaming share", 100 * programShare);
    bench::record("bare " + name + " streaming share", 100 * bareShare);
  }
}

// A long answer into the program alone: what a piece costs as the answer grows, the quarters of
// one run compared with each other.
void BM_StreamingGrowth(benchmark::State& state) {
  const std::size_t bytes = growthBytes();
  const std::vector<std::string> pieces = streamedPieces(bytes, kCoarsePace.pieceBytes);
  for (auto _ : state) {
    std::vector<StreamCost> runs;
    double wall = 0;
    for (int run = 0; run < runsPerFigure(); ++run) {
      std::string failure;
      const std::optional<StreamCost> cost = programStream(pieces, kCoarsePace, failure);
      if (!cost) {
        bench::fail(state, failure);
        return;
      }
      wall += cost->wallSeconds;
      runs.push_back(*cost);
      state.counters["growth_run" + std::to_string(run + 1)] =
          cost->quarters[3] / cost->quarters[0];
    }
    std::ranges::sort(runs, {},
                      [](const StreamCost& cost) { return cost.quarters[3] / cost.quarters[0]; });
    const StreamCost& median = runs[runs.size() / 2];
    state.counters["answer_KB"] = static_cast<double>(bytes) / 1024;
    state.counters["program_cpu_s"] = median.cpuSeconds;
    state.counters["program_core_pct"] = 100 * median.cpuSeconds / median.wallSeconds;
    state.counters["growth"] = median.quarters[3] / median.quarters[0];
    setDetailCounters(state, "program", median);
    state.SetIterationTime(wall);
    bench::record("program first quarter CPU per piece", median.quarters[0]);
    bench::record("program last quarter CPU per piece", median.quarters[3]);
  }
}

void BM_OpenThousandMessagesCost(benchmark::State& state) {
  for (auto _ : state) {
    double programCpu = 0;
    testing::TreeMemory programMemory;
    {
      Program program;
      // The stored conversations: the big one, and a small one the program opens at start. The
      // store is this process's only while this runs, on the program's folders.
      ::setenv("XDG_DATA_HOME", (program.home() / "data").c_str(), 1);
      auto& store = ChatSessionManager::shared();
      store.load();
      const std::string big = store.createConversation(kBigConversation).id;
      for (int i = 0; i < kOpenedMessages; ++i) {
        const OpenedMessage m = openedMessage(i);
        ChatMessage message(m.id, m.question, m.answer, true, false);
        message.createdAt = platform::Date::fromReferenceDate(700000000 + i * 60);
        store.upsertMessage(message, big);
      }
      store.saveSession(big);
      const std::string small = store.createConversation("Small").id;
      store.upsertMessage(ChatMessage("s", "Hello", "Hi", true, false), small);
      store.saveSession(small);
      store.loadSession(small, true);
      if (!program.start()) {
        bench::fail(state, "the program did not start and rest");
        return;
      }
      const testing::ProcessTree tree = program.tree();
      QElapsedTimer wall;
      wall.start();
      program.openConversation(kBigConversation);
      const auto cpu = tree.cpuUntilIdle(120s);
      if (!cpu || program.latestSessionID() != big) {
        bench::fail(state, "the program did not open the conversation and rest");
        return;
      }
      state.SetIterationTime(wall.nsecsElapsed() / 1e9);
      programCpu = *cpu;
      programMemory = tree.memory();
    }
    double bareCpu = 0;
    testing::TreeMemory bareMemory;
    {
      BareView bare(QStringLiteral("open"));
      if (!bare.expect("ready", 60s) || !bare.tree().cpuUntilIdle(60s)) {
        bench::fail(state, "the bare view did not start and rest");
        return;
      }
      bare.tell("go");
      const auto cpu = bare.tree().cpuUntilIdle(120s);
      if (!cpu || !bare.expect("opened", 10s)) {
        bench::fail(state, "the bare view did not rest after the messages");
        return;
      }
      bareCpu = *cpu;
      bareMemory = bare.tree().memory();
    }
    constexpr double kMiB = 1024.0 * 1024.0;
    state.counters["program_cpu_s"] = programCpu;
    state.counters["bare_cpu_s"] = bareCpu;
    state.counters["program_anon_MiB"] = programMemory.anonymousBytes / kMiB;
    state.counters["bare_anon_MiB"] = bareMemory.anonymousBytes / kMiB;
    state.counters["program_pss_MiB"] = programMemory.pssBytes / kMiB;
    state.counters["bare_pss_MiB"] = bareMemory.pssBytes / kMiB;
    bench::record("program opening CPU", programCpu);
    bench::record("bare opening CPU", bareCpu);
    bench::record("program opened anonymous", programMemory.anonymousBytes / kMiB);
    bench::record("bare opened anonymous", bareMemory.anonymousBytes / kMiB);
  }
}

BENCHMARK_CAPTURE(BM_StreamingCost, fine, kFinePace)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_StreamingCost, coarse, kCoarsePace)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_StreamingGrowth)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_OpenThousandMessagesCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The bare view: a plain QWebEngineView of the page's size, which says "ready" once its page has
// loaded, works on "go" and ends when its input closes.
int bareMain(const QString& mode) {
  // Drawn as the program draws its page, so that the bars compare the pages alone.
  chooseBrowserRendering();
  QWebEngineView view;
  view.resize(kPageWidth, kPageHeight);
  view.show();
  QTextStream out(stdout);
  const QString style = QStringLiteral(
      "<style>body{background:#313338;color:#dcdee1;font:14px/1.55 sans-serif;margin:12px 16px}"
      "#a{white-space:pre-wrap}.q{background:#2b2d31;border-radius:8px;padding:8px 12px}"
      "pre{background:#1e1f22;padding:10px 12px}</style>");
  view.setHtml(QStringLiteral("<!DOCTYPE html><html><head>") + style +
               QStringLiteral("</head><body><div id=a></div></body></html>"));

  std::vector<std::string> pieces;
  std::size_t next = 0;
  QTimer pace;
  pace.setTimerType(Qt::PreciseTimer);
  QElapsedTimer sinceGo;
  qint64 gapMilliseconds = 1;
  // Every piece due by now goes out in one update, as the program shows at once what arrived
  // since it last looked: on a loaded machine a tick that comes late would else put the rest of
  // the answer behind it, and the stream would end long after the service's did.
  QObject::connect(&pace, &QTimer::timeout, [&] {
    // The tick nearest to now: the first tick takes the first piece.
    const qint64 tick = (sinceGo.elapsed() + gapMilliseconds / 2) / gapMilliseconds;
    const auto due = std::min(pieces.size(), static_cast<std::size_t>(std::max<qint64>(tick, 1)));
    std::string text;
    for (; next < due; ++next) text += pieces[next];
    if (!text.empty()) {
      view.page()->runJavaScript(
          QStringLiteral("document.getElementById('a').append(%1);"
                         "document.scrollingElement.scrollTop = "
                         "document.scrollingElement.scrollHeight;")
              .arg(QString::fromStdString(page_script::stringLiteral(text))));
    }
    if (next < pieces.size()) return;
    pace.stop();
    out << "streamed" << Qt::endl;
  });

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line)) {
      QCoreApplication::quit();
      return;
    }
    if (line != "go") return;
    // "stream:<answer bytes>:<piece bytes>:<gap in ms>"
    if (mode.startsWith(u"stream:")) {
      const QStringList fields = mode.split(u':');
      if (fields.size() != 4) {
        QCoreApplication::exit(2);
        return;
      }
      pieces = streamedPieces(fields[1].toULongLong(), fields[2].toULongLong());
      gapMilliseconds = std::max(1, fields[3].toInt());
      sinceGo.start();
      pace.start(static_cast<int>(gapMilliseconds));
      return;
    }
    std::string html;
    for (int i = 0; i < kOpenedMessages; ++i) html += openedMessage(i).html;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&] { out << "opened" << Qt::endl; });
    view.setHtml(QStringLiteral("<!DOCTYPE html><html><head>") + style +
                 QStringLiteral("</head><body>") + QString::fromStdString(html) +
                 QStringLiteral("</body></html>"));
  });
  QObject::connect(
      &view, &QWebEngineView::loadFinished, &view, [&] { out << "ready" << Qt::endl; },
      Qt::SingleShotConnection);
  return QCoreApplication::exec();
}

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tessra::g_self = QCoreApplication::applicationFilePath();
  for (const QString& argument : QCoreApplication::arguments())
    if (argument.startsWith(u"--bare=")) return tessra::bareMain(argument.mid(7));
  return tessra::bench::runBenchmarks(argc, argv);
}
