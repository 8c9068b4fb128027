// The message page in the real browser.
//
// Streaming: 2,000 growing edits of a 40 KB Markdown answer with code, each handed over on its
// own turn of the event loop as fast as it goes, until the page shows the final text; once
// through the view (edits of one message merged, at most ten showings a second) and once straight
// into the page (every edit rendered). The counters give the page's renders against the frames
// that elapsed.
//
// Opening: a restore of 1,000 mixed messages until the end shows and the page answers a script
// again, against 10 messages in the same run.
//
// Each pair is measured one right after the other, so that both meet the same load, and compared
// by the median of the pairs' ratios.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "bench/bars.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

constexpr int kEdits = 2000;
constexpr double kFrameMilliseconds = 1000.0 / 60.0;

constexpr const char* kOnPairs = "wall time of pairs run one right after the other";

// Bar: streaming through the view, which merges the edits, takes at most the time of rendering
// every edit. Opening 1,000 messages is reported beside 10.
const bench::Bars kBars{
    {.what = "streaming through the view, against every edit rendered",
     .figure = "stream through view",
     .baseline = "stream every edit",
     .limit = 1,
     .compare = bench::Compare::pairedRatioAtMost,
     .unit = "ms",
     .on = kOnPairs},
    {.what = "opening 1,000 messages, against 10",
     .figure = "open 1000",
     .baseline = "open 10",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = kOnPairs},
};

struct Page {
  ChatViewSignals hub;
  MessagesWebView view{ChatSource::master, hub};
};

// One page for every benchmark (the browser is slow to start); released before the application.
std::unique_ptr<Page>& sharedPage() {
  static std::unique_ptr<Page> shared;
  return shared;
}

Page& page() {
  auto& shared = sharedPage();
  if (!shared) {
    shared = std::make_unique<Page>();
    shared->view.resize(700, 900);
    shared->view.show();
    if (!testing::waitForPage(shared->view)) std::abort();
  }
  return *shared;
}

// 40 KB of Markdown: prose, lists and fenced code, cut into `kEdits` growing prefixes.
std::string longAnswer() {
  std::string text;
  for (int section = 0; text.size() < 40 * 1024; ++section) {
    text += "## Step " + std::to_string(section) +
            "\n\nThe function below keeps **state** in a "
            "small `struct` and walks the list once, so the cost stays linear.\n\n"
            "- first point with `code`\n- second point\n\n```cpp\nstruct Counter {\n  int value = "
            "0;\n  void add(int n) { value += n; }\n};\n\nint total(const std::vector<int>& xs) {\n"
            "  Counter c;\n  for (int x : xs) c.add(x);\n  return c.value;\n}\n```\n\n";
  }
  return text.substr(0, 40 * 1024);
}

ChatMessage growingMessage(const std::string& answer, std::size_t length, bool finished) {
  ChatMessage message("stream", "Explain the counter", answer.substr(0, length), finished, false);
  message.createdAt = platform::Date::fromReferenceDate(0);
  return message;
}

// Runs a plain event loop (which adds no delay of its own): `start` gets the function to call
// once the page may be checked; from then on the loop runs until the view has run every call and
// `condition` holds in the page. False when `timeoutMs` passed first.
bool runUntil(MessagesWebView& view, const QString& condition, int timeoutMs,
              const std::function<void(const std::function<void()>& check)>& start) {
  QEventLoop loop;
  bool shown = false;
  std::function<void()> check = [&] {
    if (!view.isIdle()) {
      QTimer::singleShot(0, &loop, check);
      return;
    }
    view.page()->runJavaScript(condition, [&](const QVariant& result) {
      if (result.toBool()) {
        shown = true;
        loop.quit();
      } else {
        QTimer::singleShot(0, &loop, check);
      }
    });
  };
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  QTimer::singleShot(0, &loop, [&] { start(check); });
  loop.exec();
  return shown;
}

// Hands the edits over one per turn of the event loop, then waits (in a plain event loop, which
// adds no delay of its own) until the page shows the final answer. Returns the seconds taken;
// a failure is reported on `state`.
double stream(const std::function<void(const ChatMessage&)>& deliver, benchmark::State& state) {
  Page& p = page();
  const std::string answer = longAnswer();
  ChatMessage start = growingMessage(answer, 0, false);
  ChatSessionManagerTestAccess::sessions(ChatSessionManager::shared())["stream"] =
      ChatSession{"stream", "s", {start}};
  p.view.setSessionID("");
  p.view.setSessionID("stream");
  if (!testing::waitIdle(p.view)) {
    bench::fail(state, "the empty answer did not show");
    return 0;
  }
  const int rendersBefore = testing::evaluate(p.view, "window.pageStats.renders").toInt();

  const QString done = QStringLiteral(
      "(() => { const m = document.querySelector('#messages article'); return !!m && "
      "!m.querySelector('.streaming-indicator') && m.querySelector('.markdown').textContent"
      ".includes('Step'); })()");
  QElapsedTimer timer;
  timer.start();
  int next = 1;
  std::function<void()> step;
  const bool shown = runUntil(p.view, done, 600000, [&](const std::function<void()>& check) {
    step = [&] {
      const bool last = next == kEdits;
      deliver(growingMessage(answer, answer.size() * next / kEdits, last));
      if (last) {
        check();
        return;
      }
      ++next;
      QTimer::singleShot(0, step);
    };
    step();
  });
  if (!shown) {
    bench::fail(state, "the final answer never showed");
    return 0;
  }
  const double seconds = timer.nsecsElapsed() / 1e9;
  const int renders = testing::evaluate(p.view, "window.pageStats.renders").toInt() - rendersBefore;
  state.counters["renders"] = renders;
  state.counters["frames"] = seconds * 1000 / kFrameMilliseconds;
  return seconds;
}

// Through the view, then every edit rendered, in turns.
void BM_StreamingThroughTheViewBesideEveryEdit(benchmark::State& state) {
  Page& p = page();
  bench::Pairs streams;
  for (auto _ : state) {
    const double throughView = stream(
        [&](const ChatMessage& m) { emit p.hub.messageUpdates(MessageUpdate::editMessage(m)); },
        state);
    if (state.error_occurred()) return;
    const double everyEdit = stream(
        [&](const ChatMessage& m) {
          p.view.page()->runJavaScript(
              QString::fromStdString(page_script::forUpdate(MessageUpdate::editMessage(m))));
        },
        state);
    if (state.error_occurred()) return;
    state.SetIterationTime(throughView);
    streams.add(throughView * 1e3, everyEdit * 1e3);
  }
  bench::record("stream through view", "stream every edit", streams);
}

std::vector<ChatMessage> mixedMessages(int count) {
  std::vector<ChatMessage> messages;
  for (int i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    ChatMessage m("m" + n, "Question number " + n + " 🙂",
                  "An answer with **bold**, a [link](https://example.com) and code:\n\n```python\n"
                  "def f(x):\n    return x * " +
                      n + "\n```\n\n- one\n- two\n",
                  true, i % 97 == 0);
    m.createdAt = platform::Date::fromReferenceDate(700000000 + i * 60);
    if (i % 5 == 0)
      m.functionCalls = std::vector<ChatMessageFunctionCall>{
          {"Generating image", ChatMessageFunctionCall::Status::done}};
    if (i % 7 == 0)
      m.questionFile = ChatMessageFile{"notes.txt", std::nullopt, "text", std::nullopt,
                                       ChatMessageFile::ChatMessageFileType::text};
    if (i % 11 == 0) m.error = "The service is busy";
    messages.push_back(std::move(m));
  }
  return messages;
}

// Restores `messages` as a new conversation until its end shows: the milliseconds it took,
// nothing after a minute.
std::optional<double> openConversation(Page& p, const std::vector<ChatMessage>& messages) {
  static int round = 0;
  const std::string id = "open-" + std::to_string(messages.size()) + "-" + std::to_string(round++);
  ChatSessionManagerTestAccess::sessions(ChatSessionManager::shared())[id] =
      ChatSession{id, id, messages};
  const QString endShows = QStringLiteral(
      "(() => { const v = document.scrollingElement; const last = document.querySelector("
      "'#messages article:last-child'); return !!last && last.querySelector('.meta') !== null && "
      "v.scrollTop + v.clientHeight >= v.scrollHeight - 2; })()");
  QElapsedTimer timer;
  timer.start();
  const bool shown = runUntil(p.view, endShows, 60000, [&](const std::function<void()>& check) {
    p.view.setSessionID(id);
    check();
  });
  if (!shown) return std::nullopt;
  return timer.nsecsElapsed() / 1e6;
}

// 1,000 messages, then 10, in turns.
void BM_OpenThousandBesideTen(benchmark::State& state) {
  Page& p = page();
  const std::vector<ChatMessage> thousand = mixedMessages(1000);
  const std::vector<ChatMessage> ten = mixedMessages(10);
  bench::Pairs opens;
  for (auto _ : state) {
    const std::optional<double> big = openConversation(p, thousand);
    const std::optional<double> small = big ? openConversation(p, ten) : std::nullopt;
    if (!big || !small) {
      bench::fail(state, "the end of the conversation never showed");
      return;
    }
    state.SetIterationTime(*big / 1e3);
    opens.add(*big, *small);
  }
  bench::record("open 1000", "open 10", opens);
}

BENCHMARK(BM_StreamingThroughTheViewBesideEveryEdit)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenThousandBesideTen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  // The store and the settings live in a folder of the run's own.
  const tessra::testing::TempDir folder;
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((folder.path() / "data").string()));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((folder.path() / "config").string()));
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tessra::ChatSessionManager::shared().load();
  const int status = tessra::bench::runBenchmarks(argc, argv);
  tessra::sharedPage().reset();
  return status;
}
