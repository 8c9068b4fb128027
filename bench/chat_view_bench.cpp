// The chat window under load, with the real engine, store, view and page:
// - an answer of 4,000 chunks streamed at 200 a second: the GUI thread's CPU time over the
//   stream, through the view as it is and with one page update for each update of the answer,
//   as a share of the 20 s the stream takes at that pace (a busy machine stretches the wall time,
//   not the work);
// - opening a conversation of 1,000 messages: from the switch until the page takes input, beside
//   the page alone restoring the same conversation, in pairs one right after the other;
// - memory: the anonymous memory and the proportional set (PSS) of the whole process tree (the
//   panel with the chat view and its browser processes) after start, after opening 1,000
//   messages and after 5 and 20 cycles of a show, a switch of conversation and a hide, beside a
//   bare QWebEngineView window showing a short page; each in a process of its own, its pages'
//   script garbage collected before each reading, so that growth is what the program keeps and
//   not what the script engine has yet to free.
// Bars: the streaming GUI thread under 20 % of a core, and per update of the answer at least 3x
// below one page update each (chunks that arrive together make one update, so the count of
// updates follows the load; the cost of each does not); anonymous memory at rest after start at
// most 1.2x the bare window's, and its growth from cycle 5 to 20 under 5 %. The memory bars are on
// the anonymous memory, the program's alone: PSS splits each shared page among every process of the
// machine that maps it, so other programs move it.
#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/storage/chat_session_manager.h"
#include "aiclient/ai_client.h"
#include "bench/bars.h"
#include "bench/tree_memory.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/queue.h"
#include "platform/ui/event_loop_queue.h"
#include "testing/http_server.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;

constexpr int kChunks = 4000;
constexpr auto kChunkGap = 5ms;  // 200 a second
// How long the server takes to send the answer.
constexpr double kStreamSeconds = std::chrono::duration<double>(kChunkGap).count() * kChunks;
constexpr int kOpenedMessages = 1000;
constexpr int kCycles = 20;
constexpr int kEarlyCycle = 5;
// How long the page may take to run the updates of an answer sent to it one script each.
constexpr int kDrainMs = 300000;

constexpr int kOpenPairs = 3;

constexpr const char* kOnGuiCpu =
    "CPU time of the GUI thread over the stream, against the 20 s the server's pace takes";
constexpr const char* kOnAnonymous =
    "anonymous memory of each tree, the program's alone, after its pages collected their garbage";
constexpr const char* kOnPss = "PSS, which other processes' shared pages move";

// A memory figure reported beside another, with no bar.
bench::Bar memoryBeside(std::string what, std::string figure, std::string baseline,
                        const char* on) {
  return {.what = std::move(what),
          .figure = std::move(figure),
          .baseline = std::move(baseline),
          .compare = bench::Compare::reportOnly,
          .unit = "MiB",
          .on = on};
}

const bench::Bars kBars{
    {.what = "streaming, GUI thread CPU",
     .figure = "stream CPU",
     .baseline = {},
     .limit = 20,
     .compare = bench::Compare::atMost,
     .unit = "%",
     .on = kOnGuiCpu},
    {.what = "streaming, GUI thread CPU per update of the answer, against one page update each",
     .figure = "stream CPU per update",
     .baseline = "per-chunk CPU per update",
     .limit = 3,
     .compare = bench::Compare::timesBelowAtLeast,
     .unit = "ms",
     .on = "CPU time of the GUI thread per update of the answer, whose count load changes"},
    {.what = "opening 1,000 messages through the view, against the page alone",
     .figure = "open in view",
     .baseline = "open in page",
     .compare = bench::Compare::reportOnly,
     .unit = "ms",
     .on = "wall time of pairs run one right after the other"},
    {.what = "anonymous memory at rest after start, against a bare web view window",
     .figure = "anonymous start",
     .baseline = "bare anonymous",
     .limit = 1.2,
     .unit = "MiB",
     .on = kOnAnonymous},
    memoryBeside("PSS of the process tree at rest after start, against a bare web view window",
                 "PSS start", "bare PSS", kOnPss),
    memoryBeside("anonymous memory with 1,000 messages open, against a bare web view window",
                 "anonymous opened", "bare anonymous", kOnAnonymous),
    memoryBeside("PSS with 1,000 messages open, against a bare web view window", "PSS opened",
                 "bare PSS", kOnPss),
    memoryBeside("anonymous memory after 20 cycles of show, switch and hide, against cycle 5",
                 "anonymous cycle 20", "anonymous cycle 5", kOnAnonymous),
    memoryBeside("PSS after 20 cycles of show, switch and hide, against cycle 5", "PSS cycle 20",
                 "PSS cycle 5", kOnPss),
    {.what = "anonymous memory growth from cycle 5 to 20",
     .figure = "anonymous growth",
     .baseline = {},
     .limit = 5,
     .compare = bench::Compare::atMost,
     .unit = "%",
     .on = kOnAnonymous},
};

// The CPU time, user and system, of the calling thread.
double threadCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string chunkEvent(const std::string& content) {
  const nlohmann::json chunk = {
      {"id", "c"},
      {"object", "chat.completion.chunk"},
      {"created", 1},
      {"model", "gpt-4"},
      {"choices", nlohmann::json::array({{{"index", 0}, {"delta", {{"content", content}}}}})}};
  return "data: " + platform::encodeJson(chunk) + "\n\n";
}

// A stored conversation of `messages` finished questions with short Markdown answers.
std::string storedConversation(int messages) {
  static int serial = 0;
  auto& store = ChatSessionManager::shared();
  const std::string id = store.createConversation("Bench " + std::to_string(++serial)).id;
  for (int i = 0; i < messages; ++i) {
    ChatMessage message = AnswerTask::makeQuestion("Question " + std::to_string(i));
    message.answer = "An answer with **Markdown**, `code` and a list:\n\n- one\n- two\n";
    message.finished = true;
    store.upsertMessage(message, id);
  }
  store.saveSession(id);
  return id;
}

// One process-wide setting: folders, server, settings with a key, a shown chat view.
struct Fixture {
  Fixture() {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
      ::setenv(name, (home.path() / name).c_str(), 1);
    ::setenv(aiclient::AIClient::kBaseUrlVariable, server.baseUrl().c_str(), 1);
    std::vector<testing::Piece> pieces;
    for (int i = 0; i < kChunks; ++i) {
      const std::string text =
          i % 40 == 39 ? "\n\n```cpp\nint x = " + std::to_string(i) + ";\n```\n\n" : "word **b** ";
      pieces.push_back({chunkEvent(text), kChunkGap});
    }
    pieces.push_back({"data: [DONE]\n\n", kChunkGap});
    server.route("POST", "/v1/chat/completions", testing::ScriptedResponse::streamed(pieces));
    ChatSessionManager::shared().load();
    settings = std::make_unique<UserSettings>(defaults, keychain, center, platform::mainQueue());
    if (!QTest::qWaitFor([&] { return settings->loaded(); }, 10000))
      platform::logError("The keyring did not answer; the bench sends with the key it sets");
    settings->setOpenAiKey("sk-bench");
    window.setGeometry(1400, 40, 500, 1000);
    view = new ChatView(ChatSource::master, hub, &window, *settings);
    view->setGeometry(window.rect());
    window.show();
    testing::waitForPage(*view->page());
  }
  ~Fixture() { (void)keychain.remove(UserSettings::kOpenAiKeyItem); }

  testing::TempDir home;
  testing::HttpServer server;
  testing::TempDir settingsFolder;
  platform::UserDefaults defaults{settingsFolder / "defaults.json"};
  keychain::Keychain keychain{"org.tessra.chat-view-bench"};
  platform::NotificationCenter center;
  std::unique_ptr<UserSettings> settings;
  ChatViewSignals hub;
  QWidget window;
  ChatView* view = nullptr;
};

// Made on first use and released before the application, which its widgets need.
std::unique_ptr<Fixture>& fixtureSlot() {
  static std::unique_ptr<Fixture> instance;
  return instance;
}

Fixture& fixture() {
  auto& instance = fixtureSlot();
  if (!instance) instance = std::make_unique<Fixture>();
  return *instance;
}

void streamAnswer(benchmark::State& state, bool updatePerChunk) {
  Fixture& f = fixture();
  QMetaObject::Connection direct;
  if (updatePerChunk) {
    // The page takes every state of the answer as it comes, one script call each.
    QObject::disconnect(&f.hub, &ChatViewSignals::messageUpdates, f.view->page(), nullptr);
    direct = QObject::connect(&f.hub, &ChatViewSignals::messageUpdates, f.view->page(),
                              [&f](const MessageUpdate& update) {
                                f.view->page()->page()->runJavaScript(
                                    QString::fromStdString(page_script::forUpdate(update)));
                              });
  }
  int updates = 0;
  const QMetaObject::Connection counting = QObject::connect(
      &f.hub, &ChatViewSignals::messageUpdates, f.view->page(), [&] { ++updates; });
  for (auto _ : state) {
    f.view->controller().setSessionID(storedConversation(0));
    if (!testing::waitIdle(*f.view->page())) {
      bench::fail(state, "the empty conversation did not open");
      break;
    }
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    updates = 0;
    f.view->setText(QStringLiteral("Stream it"));
    f.view->sendMessage();
    if (!QTest::qWaitFor([&] { return !f.view->controller().busy(); }, 120000) ||
        !testing::waitIdle(*f.view->page(), 60000)) {
      bench::fail(state, "the answer did not end");
      break;
    }
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    state.SetIterationTime(wall);
    state.counters["gui_cpu_s"] = cpu;
    state.counters["stream_s"] = wall;
    state.counters["updates"] = updates;
    // Over the stream's paced length, not its wall time: on a busy machine the page falls behind
    // and the wait for it stretches the wall time, which would thin the share out.
    const double share = 100.0 * cpu / kStreamSeconds;
    state.counters["gui_cpu_percent"] = share;
    bench::record(updatePerChunk ? "per-chunk CPU" : "stream CPU", share);
    // The chunks that arrive together make one update: a busy machine, or a busy GUI thread,
    // makes fewer and bigger ones, and what each costs is the figure that stays.
    bench::record(updatePerChunk ? "per-chunk CPU per update" : "stream CPU per update",
                  updates > 0 ? cpu * 1e3 / updates : 0);
    // Scripts sent straight to the page are no batch of the view's: the page may still be running
    // them. A script's answer comes after all of them, and the next run finds the page at rest.
    if (!testing::evaluate(*f.view->page(), QStringLiteral("1"), kDrainMs).isValid()) {
      bench::fail(state, "the page did not finish the answer's updates");
      break;
    }
  }
  QObject::disconnect(counting);
  if (updatePerChunk) {
    QObject::disconnect(direct);
    QObject::connect(&f.hub, &ChatViewSignals::messageUpdates, f.view->page(),
                     &MessagesWebView::apply, Qt::DirectConnection);
  }
}

void BM_StreamThroughTheView(benchmark::State& state) { streamAnswer(state, false); }
void BM_StreamWithOnePageUpdatePerChunk(benchmark::State& state) { streamAnswer(state, true); }

// Opens a new conversation of 1,000 messages in `page` through `open`: the milliseconds from the
// switch until the page has run what it was sent and answers a script; nothing on a timeout.
std::optional<double> openThousand(MessagesWebView& page,
                                   const std::function<void(const std::string&)>& open) {
  const std::string id = storedConversation(kOpenedMessages);
  const auto start = std::chrono::steady_clock::now();
  open(id);
  if (!testing::waitIdle(page, 60000) || !testing::evaluate(page, QStringLiteral("1")).isValid())
    return std::nullopt;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The view opens through its controller, the page alone through its own switch, in turns.
void BM_OpenThousandMessagesInTheViewBesidePageOnly(benchmark::State& state) {
  Fixture& f = fixture();
  ChatViewSignals hub;
  QWidget window;
  window.setGeometry(800, 40, 500, 1000);
  auto* page = new MessagesWebView(ChatSource::master, hub, &window);
  page->setGeometry(window.rect());
  window.show();
  if (!testing::waitForPage(*page)) {
    bench::fail(state, "the page did not load");
    return;
  }
  bench::Pairs opens;
  for (auto _ : state) {
    const std::optional<double> inView = openThousand(
        *f.view->page(), [&f](const std::string& id) { f.view->controller().setSessionID(id); });
    const std::optional<double> inPage =
        inView ? openThousand(*page, [page](const std::string& id) { page->setSessionID(id); })
               : std::nullopt;
    if (!inView || !inPage) {
      bench::fail(state, "the conversation did not open within a minute");
      return;
    }
    state.SetIterationTime(*inView / 1e3);
    opens.add(*inView, *inPage);
  }
  bench::record("open in view", "open in page", opens);
}

BENCHMARK(BM_StreamThroughTheView)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_StreamWithOnePageUpdatePerChunk)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_OpenThousandMessagesInTheViewBesidePageOnly)
    ->Iterations(kOpenPairs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The panel as the program makes it, with the chat view and its page: after start, after opening
// 1,000 messages, and after cycles of a show, a switch between two short conversations and a hide.
int programMemory() {
  const testing::TempDir home;
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
    ::setenv(name, (home.path() / name).c_str(), 1);
  platform::runMainQueueOnEventLoop();
  ChatSessionManager::shared().load();
  const std::string thousand = storedConversation(kOpenedMessages);
  const std::string shortOnes[] = {storedConversation(20), storedConversation(20)};
  installChatWindow();
  installNavigation();
  FloatingWindow panel;
  auto* view = qobject_cast<ChatView*>(panel.controller()->mainView());
  if (view == nullptr) return 1;
  const auto show = [&] {
    panel.controller()->recalculateSize();
    panel.makeKeyAndOrderFront();
    return QTest::qWaitFor([&] { return panel.isVisible() && !panel.controller()->isAnimating(); },
                           5000);
  };
  const auto hide = [&] {
    panel.close();
    return QTest::qWaitFor([&] { return panel.isHidden() && !panel.controller()->isAnimating(); },
                           5000);
  };
  const auto print = [&](const char* stage) {
    if (!bench::collectGarbage(*view->page())) return false;
    bench::printTreeMemory(stage);
    return true;
  };
  if (!show() || !testing::waitForPage(*view->page()) || !testing::waitIdle(*view->page(), 60000) ||
      !hide() || !print("start"))
    return 1;
  view->controller().setSessionID(thousand);
  if (!testing::waitIdle(*view->page(), 60000) || !print("opened")) return 1;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    if (!show()) return 1;
    view->controller().setSessionID(shortOnes[cycle % 2]);
    if (!testing::waitIdle(*view->page(), 60000) || !hide()) return 1;
    if (cycle == kEarlyCycle && !print("early")) return 1;
  }
  return print("late") ? 0 : 1;
}

QString g_self;

void BM_MemoryOverCycles(benchmark::State& state) {
  for (auto _ : state) {
    const auto bare = bench::memoryOfChildRun(g_self, {QStringLiteral("--memory-child=bare")});
    const auto program =
        bench::memoryOfChildRun(g_self, {QStringLiteral("--memory-child=program")});
    if (!bare || !program || !bare->contains("bare") || program->size() != 4) {
      bench::fail(state, bare ? "the program's run failed" : "the bare window's run failed");
      return;
    }
    const auto pss = [&](const char* stage) {
      return bench::mebibytes(program->at(stage).pssBytes);
    };
    const auto anonymous = [&](const char* stage) {
      return bench::mebibytes(program->at(stage).anonymousBytes);
    };
    bench::record("bare PSS", bench::mebibytes(bare->at("bare").pssBytes));
    bench::record("bare anonymous", bench::mebibytes(bare->at("bare").anonymousBytes));
    bench::record("PSS start", pss("start"));
    bench::record("anonymous start", anonymous("start"));
    bench::record("PSS opened", pss("opened"));
    bench::record("anonymous opened", anonymous("opened"));
    bench::record("PSS cycle 5", pss("early"));
    bench::record("PSS cycle 20", pss("late"));
    bench::record("anonymous cycle 5", anonymous("early"));
    bench::record("anonymous cycle 20", anonymous("late"));
    bench::record("anonymous growth",
                  100.0 * (anonymous("late") - anonymous("early")) / anonymous("early"));
    state.counters["bare_pss_MiB"] = bench::mebibytes(bare->at("bare").pssBytes);
    state.counters["start_pss_MiB"] = pss("start");
    state.counters["opened_pss_MiB"] = pss("opened");
    state.counters["cycle20_pss_MiB"] = pss("late");
    state.counters["cycle20_anonymous_MiB"] = anonymous("late");
  }
}
BENCHMARK(BM_MemoryOverCycles)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  if (std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::string_view(argument).starts_with("--memory-child=");
      }))
    tessra::bench::exposeGarbageCollection();
  QApplication app(argc, argv);
  tessra::g_self = QCoreApplication::applicationFilePath();
  for (const QString& argument : QCoreApplication::arguments()) {
    if (argument == u"--memory-child=program") return tessra::programMemory();
    if (argument == u"--memory-child=bare") return tessra::bench::printBareWebViewMemory();
  }
  tessra::platform::runMainQueueOnEventLoop();
  const int status = tessra::bench::runBenchmarks(argc, argv);
  tessra::fixtureSlot().reset();
  return status;
}
