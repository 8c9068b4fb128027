// What the message page costs the whole program, beside a bare QWebEngineView doing the least the
// same work needs, each measured over its whole process tree (the program or the bare view with
// its browser processes, testing/process_tree.h), one after the other in processes of their own:
//
// - Streaming: a 40 KB Markdown answer comes from a loopback service at its pace (kPieceBytes
//   every kPieceGap, about 330 characters a second) into the built program, asked in its panel as
//   a user asks. The bare view appends the same pieces to a page as text at the same pace.
//   The bare view draws its frames as the program does (browser_rendering.h).
//   Bars: the program's CPU at most 3x the bare view's, and at most 25 % of one core.
// - Opening 1,000 messages: the program switches to a stored conversation of 1,000 messages
//   (a click into the page, Ctrl+K, its name, Return); the bare view sets the same messages as
//   static HTML. Bars: the CPU-seconds until the tree rests at most 3x the bare view's; anonymous
//   memory with them open at most 1.3x the bare view's.
//
// Each bar prints whether it holds; a run that fails or times out is an error, not a figure.
// TESSRA_BENCH_STREAM_KB streams a shorter answer at the same pace. Needs the test session (./dev
// bench): a display, a keyring and xdotool.
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

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
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
    {.what = "streaming: CPU of the tree, against the bare view's",
     .figure = "program streaming CPU",
     .baseline = "bare streaming CPU",
     .limit = 3,
     .unit = "% of a core"},
    {.what = "streaming: CPU of the tree",
     .figure = "program streaming CPU",
     .baseline = {},
     .limit = 25,
     .compare = bench::Compare::atMost,
     .unit = "% of a core"},
    {.what = "opening 1,000 messages: CPU-seconds until rest, against the bare view's layout",
     .figure = "program opening CPU",
     .baseline = "bare opening CPU",
     .limit = 3,
     .unit = "s"},
    {.what = "opening 1,000 messages: anonymous memory, against the bare view's",
     .figure = "program opened anonymous",
     .baseline = "bare opened anonymous",
     .limit = 1.3,
     .unit = "MiB"},
};

constexpr std::size_t kPieceBytes = 5;
constexpr auto kPieceGap = 15ms;
constexpr int kOpenedMessages = 1000;
constexpr const char* kKey = "sk-page-cost-bench";
constexpr const char* kBigConversation = "Thousand";
// The page of the floating window at its default size.
constexpr int kPageWidth = 700;
constexpr int kPageHeight = 1000;

QString g_self;

std::size_t streamedBytes() {
  const char* kb = std::getenv("TESSRA_BENCH_STREAM_KB");
  const long value = kb ? std::strtol(kb, nullptr, 10) : 0;
  return (value > 0 ? static_cast<std::size_t>(value) : 40) * 1024;
}

// Markdown as the service writes it: headings, prose, lists and fenced code.
std::string streamedAnswer() {
  std::string text;
  for (int section = 0; text.size() < streamedBytes(); ++section) {
    text += "## Step " + std::to_string(section) +
            "\n\nThe function below keeps **state** in a small `struct` and walks the list "
            "once, so the cost stays linear.\n\n- first point with `code`\n- second point\n\n"
            "```cpp\nstruct Counter {\n  int value = 0;\n  void add(int n) { value += n; }\n};\n"
            "\nint total(const std::vector<int>& xs) {\n  Counter c;\n  for (int x : xs) "
            "c.add(x);\n  return c.value;\n}\n```\n\n";
  }
  return text.substr(0, streamedBytes());
}

std::vector<std::string> streamedPieces() {
  const std::string answer = streamedAnswer();
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < answer.size(); at += kPieceBytes)
    pieces.push_back(answer.substr(at, kPieceBytes));
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
    m_process.start(QStringLiteral(TESSRA_BINARY), {});
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

void BM_StreamingCost(benchmark::State& state) {
  const std::vector<std::string> pieces = streamedPieces();
  for (auto _ : state) {
    // The program.
    double programShare = 0;
    {
      Program program;
      program.server().route("POST", "/v1/chat/completions",
                             chat_window_test::streamedAnswer(pieces, kPieceGap));
      if (!program.start()) {
        bench::fail(state, "the program did not start and rest");
        return;
      }
      const testing::ProcessTree tree = program.tree();
      program.typeLine("Explain the counter");
      const double before = tree.cpuSeconds();
      const auto rolesBefore = tree.cpuSecondsByRole();
      QElapsedTimer wall;
      wall.start();
      if (!program.server().waitForRequest(0, 20s) ||
          !program.server().waitForStreamEnd(0, pieces.size() * kPieceGap * 3)) {
        bench::fail(state, "the answer did not stream to its end");
        return;
      }
      // What the last pieces still cost the page.
      if (!tree.cpuUntilIdle(30s)) {
        bench::fail(state, "the program did not rest after the answer");
        return;
      }
      programShare = (tree.cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
      for (const auto& [role, seconds] : tree.cpuSecondsByRole())
        state.counters["program_" + role + "_pct"] =
            100 * (seconds - rolesBefore.at(role)) / (wall.nsecsElapsed() / 1e9);
      state.SetIterationTime(wall.nsecsElapsed() / 1e9);
    }
    // The bare view.
    double bareShare = 0;
    {
      BareView bare(QStringLiteral("stream"));
      if (!bare.expect("ready", 60s) || !bare.tree().cpuUntilIdle(60s)) {
        bench::fail(state, "the bare view did not start and rest");
        return;
      }
      const double before = bare.tree().cpuSeconds();
      QElapsedTimer wall;
      wall.start();
      bare.tell("go");
      if (!bare.expect("streamed", pieces.size() * kPieceGap * 3) ||
          !bare.tree().cpuUntilIdle(30s)) {
        bench::fail(state, "the bare view did not stream to its end");
        return;
      }
      bareShare = (bare.tree().cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
    }
    state.counters["program_core_pct"] = 100 * programShare;
    state.counters["bare_core_pct"] = 100 * bareShare;
    state.counters["ratio"] = programShare / bareShare;
    bench::record("program streaming CPU", 100 * programShare);
    bench::record("bare streaming CPU", 100 * bareShare);
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

BENCHMARK(BM_StreamingCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
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
  QObject::connect(&pace, &QTimer::timeout, [&] {
    view.page()->runJavaScript(
        QStringLiteral("document.getElementById('a').append(%1);")
            .arg(QString::fromStdString(page_script::stringLiteral(pieces[next]))));
    if (++next < pieces.size()) return;
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
    if (mode == u"stream") {
      pieces = streamedPieces();
      pace.start(static_cast<int>(kPieceGap.count()));
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
