#include "Tessra/chat_window/chat_window_test_support.h"

#include <QCoreApplication>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/storage/chat_session_manager.h"
#include "aiclient/ai_client.h"
#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"

namespace tessra::chat_window_test {

using nlohmann::json;
using testing::ScriptedResponse;

std::unique_ptr<testing::TempDir> ChatWindowTest::s_home;
std::unique_ptr<testing::HttpServer> ChatWindowTest::s_server;

std::string contentEvent(const std::string& content) {
  const json chunk = {
      {"id", "c"},
      {"object", "chat.completion.chunk"},
      {"created", 1},
      {"model", "gpt-4"},
      {"choices", json::array({{{"index", 0}, {"delta", {{"content", content}}}}})}};
  return "data: " + platform::encodeJson(chunk) + "\n\n";
}

std::string imageToolCallEvent(const std::string& prompt) {
  const json call = {
      {"index", 0},
      {"id", "call_fox"},
      {"function",
       {{"name", "image_generation_via_dalle"}, {"arguments", json{{"prompt", prompt}}.dump()}}}};
  const json chunk = {
      {"id", "c"},
      {"object", "chat.completion.chunk"},
      {"created", 1},
      {"model", "gpt-4"},
      {"choices", json::array({{{"index", 0}, {"delta", {{"tool_calls", {call}}}}}})}};
  return "data: " + platform::encodeJson(chunk) + "\n\n";
}

json savedQuestion(const std::filesystem::path& path, const std::string& question) {
  std::ifstream file(path);
  const json session = json::parse(file, nullptr, false);
  if (session.is_object() && session.contains("messages")) {
    for (const json& message : session["messages"])
      if (message.value("question", std::string()) == question) return message;
  }
  return json::object();
}

ScriptedResponse streamedAnswer(const std::vector<std::string>& pieces,
                                std::chrono::milliseconds gap) {
  std::vector<testing::Piece> events;
  for (const std::string& piece : pieces) events.push_back({contentEvent(piece), gap});
  events.push_back({"data: [DONE]\n\n", gap});
  return ScriptedResponse::streamed(std::move(events));
}

ScriptedResponse errorEnvelope(int status, const std::string& message) {
  const json body = {
      {"error", {{"message", message}, {"type", "invalid_request_error"}, {"code", nullptr}}}};
  return ScriptedResponse::json(status, body.dump());
}

void ChatWindowTest::SetUpTestSuite() {
  if (s_home) return;
  s_home = std::make_unique<testing::TempDir>();
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
    ::setenv(name, (s_home->path() / name).c_str(), 1);
  s_server = std::make_unique<testing::HttpServer>();
  ::setenv(aiclient::AIClient::kBaseUrlVariable, s_server->baseUrl().c_str(), 1);
  platform::mainQueue().setPoster([](platform::Job job) {
    QMetaObject::invokeMethod(qApp, std::move(job), Qt::QueuedConnection);
  });
  ChatSessionManager::shared().load();
}

void ChatWindowTest::TearDownTestSuite() {
  // A stopped request winds down on a worker; the process must not end under it.
  EXPECT_TRUE(QTest::qWaitFor([] { return ChatGPTAPI::shared().activeRequests() == 0; }, 10000));
}

std::string ChatWindowTest::makeConversation(const std::string& name) {
  static int serial = 0;
  return ChatSessionManager::shared().createConversation(name + " " + std::to_string(++serial)).id;
}

FileWriteCounter::FileWriteCounter(const std::string& path)
    : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      m_name(std::filesystem::path(path).filename()) {
  const std::string folder = std::filesystem::path(path).parent_path();
  std::filesystem::create_directories(folder);
  // The kernel merges an event into an identical one not yet read: two renames onto the name in a
  // row would count once. The temporary file's own event, under a name of its own, stands
  // between them.
  ::inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_FROM | IN_MOVED_TO);
}

FileWriteCounter::~FileWriteCounter() {
  if (m_fd >= 0) ::close(m_fd);
}

int FileWriteCounter::count() {
  alignas(inotify_event) std::array<char, 8192> buffer;
  while (true) {
    const ssize_t length = ::read(m_fd, buffer.data(), buffer.size());
    if (length <= 0) break;
    for (ssize_t offset = 0; offset < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
      if ((event->mask & IN_MOVED_TO) && event->len > 0 && m_name == event->name) ++m_count;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return m_count;
}

}  // namespace tessra::chat_window_test
