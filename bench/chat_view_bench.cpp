// The chat window under load, with the real engine, store, view and page:
// - an answer of 4,000 chunks streamed at 200 a second: the GUI thread's CPU time over the
//   stream, through the view as it is and with one page update per chunk;
// - opening a conversation of 1,000 messages: from the switch until the page takes input, beside
//   the page alone restoring the same conversation.
#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "aiclient/ai_client.h"
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
constexpr int kOpenedMessages = 1000;

double threadCpuSeconds() {
  timespec time{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
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

  std::string conversation(int messages) {
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
  int serial = 0;
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
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
  for (auto _ : state) {
    f.view->controller().setSessionID(f.conversation(0));
    testing::waitIdle(*f.view->page());
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    f.view->setText(QStringLiteral("Stream it"));
    f.view->sendMessage();
    if (!QTest::qWaitFor([&] { return !f.view->controller().busy(); }, 120000) ||
        !testing::waitIdle(*f.view->page(), 60000)) {
      state.SkipWithError("The answer did not end");
      break;
    }
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    state.SetIterationTime(wall);
    state.counters["gui_cpu_s"] = cpu;
    state.counters["stream_s"] = wall;
    state.counters["gui_cpu_percent"] = 100.0 * cpu / wall;
  }
  if (updatePerChunk) {
    QObject::disconnect(direct);
    QObject::connect(&f.hub, &ChatViewSignals::messageUpdates, f.view->page(),
                     &MessagesWebView::apply, Qt::DirectConnection);
  }
}

void BM_StreamThroughTheView(benchmark::State& state) { streamAnswer(state, false); }
void BM_StreamWithOnePageUpdatePerChunk(benchmark::State& state) { streamAnswer(state, true); }

void BM_OpenThousandMessagesInTheView(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    const std::string id = f.conversation(kOpenedMessages);
    const auto start = std::chrono::steady_clock::now();
    f.view->controller().setSessionID(id);
    testing::waitIdle(*f.view->page(), 60000);
    testing::evaluate(*f.view->page(), QStringLiteral("1"));
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void BM_OpenThousandMessagesPageOnly(benchmark::State& state) {
  Fixture& f = fixture();
  ChatViewSignals hub;
  QWidget window;
  window.setGeometry(800, 40, 500, 1000);
  auto* page = new MessagesWebView(ChatSource::master, hub, &window);
  page->setGeometry(window.rect());
  window.show();
  testing::waitForPage(*page);
  for (auto _ : state) {
    const std::string id = f.conversation(kOpenedMessages);
    const auto start = std::chrono::steady_clock::now();
    page->setSessionID(id);
    testing::waitIdle(*page, 60000);
    testing::evaluate(*page, QStringLiteral("1"));
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

BENCHMARK(BM_StreamThroughTheView)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_StreamWithOnePageUpdatePerChunk)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_OpenThousandMessagesInTheView)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenThousandMessagesPageOnly)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessra

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  tessra::platform::runMainQueueOnEventLoop();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
