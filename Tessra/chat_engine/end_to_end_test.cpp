// The shared engine with the program's own store, settings and token counter, against the
// loopback server playing the service: a question, an image drawn by the tool, a second pass,
// and a follow-up question that sends the first one as history.
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/chat_engine/engine_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/user_settings.h"
#include "platform/foundation/json.h"
#include "platform/foundation/uuid.h"
#include "testing/http_server.h"
#include "testing/temp_dir.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::HttpServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;

std::string event(const json& delta) {
  const json chunk = {{"id", "c"},
                      {"object", "chat.completion.chunk"},
                      {"created", 1},
                      {"model", "gpt-3.5-turbo"},
                      {"choices", json::array({{{"index", 0}, {"delta", delta}}})}};
  return "data: " + platform::encodeJson(chunk) + "\n\n";
}

std::string toolFragment(std::optional<std::string> id, std::optional<std::string> name,
                         std::string arguments) {
  json fragment = {{"index", 0}, {"function", {{"arguments", arguments}}}};
  if (id) fragment["id"] = *id;
  if (name) fragment["function"]["name"] = *name;
  return event({{"tool_calls", json::array({fragment})}});
}

ScriptedResponse streamed(const std::vector<std::string>& events, std::chrono::milliseconds gap) {
  std::vector<testing::Piece> pieces;
  for (const std::string& e : events) pieces.push_back({e, gap});
  pieces.push_back({"data: [DONE]\n\n", gap});
  return ScriptedResponse::streamed(std::move(pieces));
}

// Everything the program reads from the environment points into this process's own folders and
// at the loopback server, before any shared object is made.
class EndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_home = std::make_unique<testing::TempDir>();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
      ::setenv(name, (s_home->path() / name).c_str(), 1);
    for (const char* name : {"TESSRA_DATA_DIR", "TESSRA_CONFIG_DIR", "TESSRA_CACHE_DIR"})
      ::unsetenv(name);
    s_server = std::make_unique<HttpServer>();
    s_server->route("GET", "/encodings/cl100k_base.ranks",
                    ScriptedResponse::text(200, std::string(tokenizer::test::cl100kBytes())));
    ::setenv("TESSRA_VOCAB_BASE_URL", s_server->baseUrl().c_str(), 1);
    ::setenv(aiclient::AIClient::kBaseUrlVariable, s_server->baseUrl().c_str(), 1);
  }
  static void TearDownTestSuite() { s_server.reset(); }

  static std::unique_ptr<testing::TempDir> s_home;
  static std::unique_ptr<HttpServer> s_server;
};

std::unique_ptr<testing::TempDir> EndToEnd::s_home;
std::unique_ptr<HttpServer> EndToEnd::s_server;

std::vector<json> chatBodies(const HttpServer& server) {
  std::vector<json> bodies;
  for (const RecordedRequest& r : server.requests())
    if (r.path == "/v1/chat/completions") bodies.push_back(json::parse(r.body));
  return bodies;
}

TEST_F(EndToEnd, AQuestionBecomesAStreamedAnswerWithAGeneratedImage) {
  HttpServer& server = *s_server;
  server.route("POST", "/v1/chat/completions", [](const RecordedRequest& request) {
    const json body = json::parse(request.body);
    if (body["tool_choice"] == "none")
      return streamed({event({{"content", " Here is"}}), event({{"content", " your fox."}})},
                      std::chrono::milliseconds(5));
    if (body["messages"].size() > 2)  // the follow-up question
      return streamed({event({{"content", "Orange."}})}, std::chrono::milliseconds(0));
    return streamed({event({{"content", "Let me"}}), event({{"content", " draw."}}),
                     toolFragment("call_fox", "image_generation_via_dalle", ""),
                     toolFragment(std::nullopt, std::nullopt, R"({"prompt": "A fox)"),
                     toolFragment(std::nullopt, std::nullopt, R"( in snow"})")},
                    std::chrono::milliseconds(5));
  });
  server.route("POST", "/v1/images/generations",
               ScriptedResponse::json(
                   200, R"({"created":1,"data":[{"url":")" + server.url("/fox.png") + R"("}]})"));
  server.route("GET", "/fox.png",
               ScriptedResponse::text(200, engine_test::pngBytes(900, 600, QColor(230, 120, 20)),
                                      "image/png"));

  // The settings and the store the chat window uses, in this process's temporary home.
  UserSettings::shared().setOpenAiKey("sk-end-to-end");
  ChatSessionManager& store = ChatSessionManager::shared();
  store.load();
  Conversation conversation = store.createConversation("🦊 Foxes");
  ConversationConfig config;
  config.model = ChatGPTModels::gpt35;
  config.contextWindow = 0;
  conversation.config = config;
  store.updateConversation(conversation.id, conversation);
  store.loadSession(conversation.id, true);

  // What the chat window does on send.
  const auto ask = [&](const std::string& text, std::optional<ChatAttachment> attachment) {
    ChatMessage message(platform::makeUuidString(), text, "", false, false);
    store.upsertMessage(message, conversation.id);
    ChatGPTAPI::shared().setAttachment(std::move(attachment));
    auto stream = ChatGPTAPI::shared().sendMessage(message, conversation.id);
    EXPECT_FALSE(ChatGPTAPI::shared().attachment()) << "the request takes the attachment";
    const engine_test::Collected got = engine_test::collect(stream, message);
    EXPECT_TRUE(got.ended);
    EXPECT_FALSE(got.error) << describe(got.error);
    for (const ChatMessage& element : got.messages) {
      store.upsertMessage(element, conversation.id);
      if (element.finished) store.saveSession(conversation.id);
    }
    return got.messages;
  };

  const std::vector<ChatMessage> elements =
      ask("Draw a fox", ChatAttachment{nullptr, "Foxes are orange.", "fox.txt"});

  // The answer grew while the server streamed (pieces the reader had not taken yet come
  // together), the tool ran, and the second pass followed.
  const auto running = std::ranges::find_if(
      elements, [](const ChatMessage& element) { return element.functionCalls.has_value(); });
  ASSERT_NE(running, elements.begin());
  ASSERT_GE(elements.end() - running, 4);
  EXPECT_TRUE(std::string_view("Let me draw.").starts_with(elements.front().answer));
  EXPECT_EQ((running - 1)->answer, "Let me draw.");
  EXPECT_EQ(running->functionCalls->back().text, "Running DALLE-E");
  EXPECT_EQ((running + 1)->functionCalls->back().text, "DALLE-E");
  const ChatMessage& last = elements.back();
  EXPECT_TRUE(last.finished);
  EXPECT_EQ(last.answer, "Let me draw. Here is your fox.");
  for (std::size_t i = 0; i + 1 < elements.size(); ++i) EXPECT_FALSE(elements[i].finished);

  // The image request carried the prompt, and a JPEG and its thumbnail are in "files/".
  const auto images = [&] {
    for (const RecordedRequest& r : server.requests())
      if (r.path == "/v1/images/generations") return json::parse(r.body);
    return json();
  }();
  EXPECT_EQ(images["prompt"], "A fox in snow");
  EXPECT_EQ(images["model"], "dall-e-3");
  const fs::path filesFolder(Paths::filesDirectory().rawValue());
  std::vector<fs::path> stored;
  for (const auto& entry : fs::directory_iterator(filesFolder)) stored.push_back(entry.path());
  ASSERT_EQ(stored.size(), 2u);
  for (const fs::path& path : stored) EXPECT_EQ(path.extension(), ".jpg");
  ASSERT_TRUE(last.answerFiles);
  ASSERT_EQ(last.answerFiles->size(), 1u);
  QImage thumbnail(QString::fromStdString(
      files::Path::fromFileUrl(*last.answerFiles->front().thumbnailPath)->rawValue()));
  EXPECT_EQ(thumbnail.size(), QSize(400, 267));

  // The request: the conversation's model and the text attachment behind the question.
  const std::vector<json> bodies = chatBodies(server);
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(bodies[0]["model"], "gpt-3.5-turbo");
  EXPECT_EQ(bodies[0]["messages"].back(),
            json::parse(R"({"role":"user","content":[{"type":"text","text":"Draw a fox"},
                {"type":"text","text":"fox.txt:\nFoxes are orange."}]})"));
  EXPECT_EQ(bodies[1]["tool_choice"], "none");
  for (const RecordedRequest& r : server.requests()) {
    if (r.path == "/encodings/cl100k_base.ranks" || r.path == "/fox.png") continue;
    EXPECT_EQ(r.header("Authorization"), "Bearer sk-end-to-end") << r.path;
  }

  // The session file holds the finished answer with its file.
  ChatSessionManagerTestAccess::sessions(store).erase(conversation.id);
  store.loadSession(conversation.id, false);
  const std::optional<ChatMessage> saved = store.lastMessage(conversation.id);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->answer, last.answer);
  EXPECT_TRUE(saved->finished);
  EXPECT_EQ(saved->answerFiles, last.answerFiles);

  // A follow-up sends the first exchange as history and no attachment of its own.
  const std::vector<ChatMessage> followUp = ask("What colour was it?", std::nullopt);
  ASSERT_FALSE(followUp.empty());
  EXPECT_EQ(followUp.back().answer, "Orange.");
  const json third = chatBodies(server).at(2);
  EXPECT_EQ(third["messages"], json::parse(R"([
      {"role":"system","content":"You're Tessra, a helpful assistant."},
      {"role":"user","content":"Draw a fox"},
      {"role":"assistant","content":"Let me draw. Here is your fox."},
      {"role":"user","content":"What colour was it?"}])"));
}

TEST_F(EndToEnd, TheHistoryStartsAfterTheContextBreakAndKeepsToTheMessageLimit) {
  HttpServer& server = *s_server;
  server.route("POST", "/v1/chat/completions",
               streamed({event({{"content", "Fine."}})}, std::chrono::milliseconds(0)));
  UserSettings::shared().setOpenAiKey("sk-window");
  ChatSessionManager& store = ChatSessionManager::shared();
  store.load();
  Conversation conversation = store.createConversation("🪟 Window");
  ConversationConfig config;
  config.prompt = "Be short.";
  struct Case {
    std::int64_t limit;
    std::vector<std::string> questions;
  };
  // m2 closes the context, so m1 and m2 never go out; the question m6 counts in the window.
  for (const Case& c : {Case{0, {"q3", "q4", "q5"}}, Case{3, {"q4", "q5"}}, Case{1, {}},
                        Case{100, {"q3", "q4", "q5"}}}) {
    config.contextWindow = c.limit;
    conversation.config = config;
    store.updateConversation(conversation.id, conversation);
    ChatSessionManagerTestAccess::sessions(store).erase(conversation.id);
    store.loadSession(conversation.id, true);
    for (int i = 1; i <= 5; ++i) {
      const std::string n = std::to_string(i);
      store.upsertMessage(ChatMessage("m" + n, "q" + n, "a" + n, true, i == 2), conversation.id);
    }
    const ChatMessage asked("m6", "q6", "", false, false);
    store.upsertMessage(asked, conversation.id);

    const std::size_t before = chatBodies(server).size();
    auto stream = ChatGPTAPI::shared().sendMessage(asked, conversation.id);
    const engine_test::Collected got = engine_test::collect(stream);
    ASSERT_TRUE(got.ended) << "limit " << c.limit;
    ASSERT_FALSE(got.error) << describe(got.error);
    ASSERT_EQ(chatBodies(server).size(), before + 1);

    json expected = json::array({{{"role", "system"}, {"content", "Be short."}}});
    for (const std::string& q : c.questions) {
      expected.push_back({{"role", "user"}, {"content", q}});
      expected.push_back({{"role", "assistant"}, {"content", "a" + q.substr(1)}});
    }
    expected.push_back({{"role", "user"}, {"content", "q6"}});
    EXPECT_EQ(chatBodies(server).back()["messages"], expected) << "limit " << c.limit;
  }
}

}  // namespace
}  // namespace tessra
