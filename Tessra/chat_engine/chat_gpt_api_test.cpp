#include "Tessra/chat_engine/chat_gpt_api.h"

#include <QImage>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_engine/chat_request.h"
#include "Tessra/chat_engine/dalle_function_call.h"
#include "Tessra/chat_engine/engine_test_support.h"
#include "Tessra/localized_text/localized_text.h"
#include "platform/foundation/json.h"
#include "testing/http_server.h"
#include "testing/memory_ceiling.h"
#include "testing/png_header.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;
using engine_test::cl100kEncoding;
using engine_test::collect;
using engine_test::Collected;
using nlohmann::json;
using testing::HttpServer;
using testing::Piece;
using testing::RecordedRequest;
using testing::ScriptedResponse;
using testing::TempDir;
using Status = ChatMessageFunctionCall::Status;

constexpr const char* kChatPath = "/v1/chat/completions";

std::string event(const json& body) { return "data: " + platform::encodeJson(body) + "\n\n"; }

json chunkWith(json delta) {
  return {{"id", "c1"},
          {"object", "chat.completion.chunk"},
          {"created", 1},
          {"model", "gpt-4"},
          {"choices", json::array({{{"index", 0}, {"delta", std::move(delta)}}})}};
}

std::string contentEvent(const std::string& text) { return event(chunkWith({{"content", text}})); }

std::string usageEvent(int total) {
  return event(
      {{"id", "c1"},
       {"object", "chat.completion.chunk"},
       {"created", 1},
       {"model", "gpt-4"},
       {"choices", json::array()},
       {"usage",
        {{"prompt_tokens", 1}, {"completion_tokens", total - 1}, {"total_tokens", total}}}});
}

std::string toolEvent(int index, std::optional<std::string> id, std::optional<std::string> name,
                      std::optional<std::string> arguments) {
  json fragment = {{"index", index}};
  if (id) fragment["id"] = *id;
  json function = json::object();
  if (name) function["name"] = *name;
  if (arguments) function["arguments"] = *arguments;
  fragment["function"] = function;
  return event(chunkWith({{"tool_calls", json::array({fragment})}}));
}

const std::string kDone = "data: [DONE]\n\n";

ScriptedResponse sse(const std::vector<std::string>& events) {
  std::string body;
  for (const std::string& e : events) body += e;
  // Cut at awkward places: inside lines and inside multi-byte characters.
  return ScriptedResponse::streamed(testing::splitEvery(body, 7));
}

ChatMessage question(const std::string& text) {
  return ChatMessage("question-id", text, "", false, false);
}

std::size_t fileCount(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A tool for the executor's own rules: answers with its arguments, or fails.
class EchoTool final : public IFunctionCall {
 public:
  explicit EchoTool(std::string name, bool fails = false)
      : m_name(std::move(name)), m_fails(fails) {}
  aiclient::ChatCompletionToolParam::FunctionDefinition declaration() const override {
    return {.name = m_name};
  }
  std::string displayName() const override { return "Echo " + m_name; }
  FunctionResult execute(const std::string& arguments, const ToolContext&) const override {
    if (m_fails) throw TextError("the echo broke");
    ChatMessageFile file;
    file.text = arguments;
    file.type = ChatMessageFile::ChatMessageFileType::text;
    return {"echo:" + arguments, {file}, std::nullopt};
  }

 private:
  std::string m_name;
  bool m_fails;
};

class ChatEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(aiclient::AIClient::kBaseUrlVariable, m_server.baseUrl().c_str(), 1);
    m_plan.apiKey = "sk-test";
  }
  void TearDown() override {
    waitUntilIdle();
    ::unsetenv(aiclient::AIClient::kBaseUrlVariable);
  }

  ChatGPTAPI& engine(std::vector<std::shared_ptr<const IFunctionCall>> functions = {}) {
    if (functions.empty())
      functions.push_back(std::make_shared<const DalleFunctionCall>(
          files::Path((m_dir.path() / "files").string())));
    m_engine = std::make_unique<ChatGPTAPI>(
        ChatGPTAPI::Dependencies{.encodingFor = [](std::string_view) { return cl100kEncoding(); },
                                 .functions = std::move(functions)});
    return *m_engine;
  }

  void waitUntilIdle() {
    if (!m_engine) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (m_engine->activeRequests() > 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    EXPECT_EQ(m_engine->activeRequests(), 0) << "a request never wound down";
  }

  json requestBody(std::size_t index) {
    const auto request = m_server.waitForRequest(index);
    if (!request) {
      ADD_FAILURE() << "no request " << index;
      return {};
    }
    return json::parse(request->body);
  }

  std::vector<RecordedRequest> chatRequests() const {
    std::vector<RecordedRequest> found;
    for (const RecordedRequest& r : m_server.requests())
      if (r.path == kChatPath) found.push_back(r);
    return found;
  }

  TempDir m_dir;
  HttpServer m_server;
  RequestPlan m_plan;
  std::unique_ptr<ChatGPTAPI> m_engine;
};

TEST_F(ChatEngineTest, RequestBodyWithSettingsCarriesThem) {
  m_server.route("POST", kChatPath, sse({kDone}));
  ConversationConfig config{.model = ChatGPTModels::gpt35,
                            .prompt = "Answer in French.",
                            .temperature = 1.5,
                            .presencePenalty = 0.25,
                            .frequencyPenalty = -1.0,
                            .topP = 0.75,
                            .contextWindow = 3};
  std::vector<ChatMessage> context;
  for (int i = 1; i <= 4; ++i)
    context.push_back(ChatMessage("m" + std::to_string(i), "q" + std::to_string(i),
                                  "a" + std::to_string(i), true, false));
  ChatMessage asked = question("q5");
  context.push_back(asked);
  const RequestPlan plan =
      makeRequestPlan(config, ChatGPTModels::gpt4, "sk-test", context, std::nullopt);
  auto stream = engine().send(asked, plan);
  collect(stream);

  const json body = requestBody(0);
  EXPECT_EQ(body["model"], "gpt-3.5-turbo");
  EXPECT_EQ(body["temperature"], 1.5);
  EXPECT_EQ(body["presence_penalty"], 0.25);
  EXPECT_EQ(body["frequency_penalty"], -1.0);
  EXPECT_EQ(body["top_p"], 0.75);
  EXPECT_EQ(body["messages"], json::parse(R"([{"role":"system","content":"Answer in French."},
      {"role":"user","content":"q3"},{"role":"assistant","content":"a3"},
      {"role":"user","content":"q4"},{"role":"assistant","content":"a4"},
      {"role":"user","content":"q5"}])"));
}

TEST_F(ChatEngineTest, AChangedKeyReplacesTheClientAndAnUnchangedOneKeepsIt) {
  m_server.route("POST", kChatPath, sse({kDone}));
  ChatGPTAPI& api = engine();
  auto first = api.send(question("a"), m_plan);
  ASSERT_FALSE(collect(first).error);
  const auto client = api.openAI();
  ASSERT_TRUE(client);
  auto second = api.send(question("b"), m_plan);
  ASSERT_FALSE(collect(second).error);
  EXPECT_EQ(api.openAI(), client);
  m_plan.apiKey = "sk-other";
  auto third = api.send(question("c"), m_plan);
  ASSERT_FALSE(collect(third).error);
  ASSERT_TRUE(api.openAI());
  EXPECT_NE(api.openAI(), client);
  EXPECT_EQ(api.openAI()->configuration().token, "sk-other");
  const auto request = m_server.waitForRequest(2);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->header("Authorization"), "Bearer sk-other");
}

TEST_F(ChatEngineTest, AQuestionOnAConnectionTheServiceClosedUnansweredIsSentAgain) {
  // A service (or a proxy before it) that keeps its connections open, and closes the one the
  // next question comes on without answering.
  std::atomic<int> received{0};
  HttpServer service(4, HttpServer::Connections::keepAlive);
  service.route("POST", kChatPath, [&](const RecordedRequest&) {
    if (received.fetch_add(1) == 1) return ScriptedResponse::hangUp();
    return ScriptedResponse::text(200, contentEvent("Hi") + kDone, "text/event-stream");
  });
  ::setenv(aiclient::AIClient::kBaseUrlVariable, service.baseUrl().c_str(), 1);
  ChatGPTAPI& api = engine();
  auto first = api.send(question("a"), m_plan);
  ASSERT_FALSE(collect(first).error);

  auto second = api.send(question("b"), m_plan);
  const Collected got = collect(second);
  ASSERT_FALSE(got.error) << describe(got.error);
  EXPECT_EQ(got.messages.back().answer, "Hi");
  EXPECT_TRUE(got.messages.back().finished);
  ASSERT_EQ(service.requestCount(), 3u);
  EXPECT_EQ(json::parse(service.requests()[2].body)["messages"].back()["content"], "b");
}

TEST_F(ChatEngineTest, ContentWinsOverToolFragmentsOfTheSameChunk) {
  json both = chunkWith(
      {{"content", "text"},
       {"tool_calls",
        json::array({{{"index", 0}, {"id", "call_1"}, {"function", {{"name", "echo"}}}}})}});
  m_server.route("POST", kChatPath, sse({event(both), kDone}));
  auto stream = engine({std::make_shared<EchoTool>("echo")}).send(question("x"), m_plan);
  const Collected got = collect(stream);
  ASSERT_FALSE(got.error) << describe(got.error);
  ASSERT_EQ(got.messages.size(), 2u);
  EXPECT_EQ(got.messages[1].answer, "text");
  EXPECT_FALSE(got.messages[1].functionCalls);
  EXPECT_EQ(chatRequests().size(), 1u);
}

TEST_F(ChatEngineTest, ToolCallsRunInOrderAndTheSecondPassCarriesTheirResults) {
  m_server.route("POST", kChatPath, [](const RecordedRequest& request) {
    const json body = json::parse(request.body);
    if (body["tool_choice"] == "none") return sse({contentEvent("Done."), usageEvent(7), kDone});
    return sse({toolEvent(0, "call_a", "echo", ""), toolEvent(1, "call_b", "echo", "{\"n\":"),
                toolEvent(0, std::nullopt, std::nullopt, "{\"n\":"),
                toolEvent(0, std::nullopt, std::nullopt, "1}"),
                toolEvent(1, std::nullopt, std::nullopt, "2}"), kDone});
  });
  auto stream = engine({std::make_shared<EchoTool>("echo")}).send(question("x"), m_plan);
  const Collected got = collect(stream);
  ASSERT_FALSE(got.error) << describe(got.error);
  ASSERT_EQ(got.messages.size(), 6u);
  using Line = ChatMessageFunctionCall;
  EXPECT_EQ(got.messages[0].functionCalls,
            (std::vector<Line>{{"Running Echo echo", Status::loading}}));
  EXPECT_EQ(got.messages[1].functionCalls, (std::vector<Line>{{"Echo echo", Status::done}}));
  EXPECT_EQ(got.messages[1].answerFiles->size(), 1u);
  EXPECT_EQ(
      got.messages[2].functionCalls,
      (std::vector<Line>{{"Echo echo", Status::done}, {"Running Echo echo", Status::loading}}));
  EXPECT_EQ(got.messages[3].answerFiles->size(), 2u);
  EXPECT_EQ(got.messages[3].answerFiles->at(0).text, "{\"n\":1}");
  EXPECT_EQ(got.messages[3].answerFiles->at(1).text, "{\"n\":2}");
  EXPECT_EQ(got.messages[4].answer, "Done.");
  EXPECT_TRUE(got.messages[5].finished);
  EXPECT_EQ(got.messages[5].tokenUsage, 7);

  const auto requests = chatRequests();
  ASSERT_EQ(requests.size(), 2u);
  const json first = json::parse(requests[0].body);
  const json second = json::parse(requests[1].body);
  EXPECT_EQ(second["tools"], first["tools"]);
  const json& messages = second["messages"];
  ASSERT_EQ(messages.size(), 6u);
  EXPECT_EQ(messages[2], json::parse(R"({"role":"assistant","tool_calls":[{"id":"call_a",
      "type":"function","function":{"name":"echo","arguments":"{\"n\":1}"}}]})"));
  EXPECT_EQ(messages[3], json::parse(R"({"role":"tool","content":"echo:{\"n\":1}",
      "tool_call_id":"call_a"})"));
  EXPECT_EQ(messages[4]["tool_calls"][0]["id"], "call_b");
  EXPECT_EQ(messages[5]["tool_call_id"], "call_b");
}

TEST_F(ChatEngineTest, ToolFailuresEndTheStreamWithThePartsTexts) {
  struct Case {
    const char* name;
    std::string events;
    std::string error;
    std::size_t elements;
  };
  const std::vector<Case> cases = {
      {"unknown name", toolEvent(0, "c", "nope", "{}"), "Function nope not found", 0},
      {"no name at all", toolEvent(0, "c", std::nullopt, "{}"), "Function  not found", 0},
      {"index skips ahead", toolEvent(3, "c", "echo", "{}") + toolEvent(1, "d", std::nullopt, ""),
       "Function  not found", 0},
      {"failing tool", toolEvent(0, "c", "broken", "{}"), "Error executing broken: the echo broke",
       2},
  };
  for (const Case& c : cases) {
    m_server.route("POST", kChatPath, sse({c.events, kDone}));
    auto stream =
        engine({std::make_shared<EchoTool>("echo"), std::make_shared<EchoTool>("broken", true)})
            .send(question("x"), m_plan);
    const Collected got = collect(stream);
    ASSERT_TRUE(got.ended) << c.name;
    ASSERT_TRUE(got.error) << c.name;
    EXPECT_EQ(messageText(got.error), c.error) << c.name;
    EXPECT_EQ(got.messages.size(), c.elements) << c.name;
    // The step that failed is told as failed, never left running.
    if (!got.messages.empty()) {
      EXPECT_EQ(got.messages.back().functionCalls->back(),
                (ChatMessageFunctionCall{"Echo broken", Status::failed}))
          << c.name;
    }
    waitUntilIdle();
  }
}

TEST_F(ChatEngineTest, ServiceErrorsEndTheStreamWithTheirText) {
  struct Case {
    const char* name;
    ScriptedResponse response;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"error envelope",
       ScriptedResponse::json(401, R"({"error":{"message":"Incorrect API key provided: sk-test.",
           "type":"invalid_request_error","param":null,"code":"invalid_api_key"}})"),
       "Incorrect API key provided: sk-test."},
      {"envelope in place of a chunk",
       sse({contentEvent("partial"),
            "data: {\"error\":{\"message\":\"Overloaded\",\"type\":\"server_error\"}}\n\n"}),
       "Overloaded"},
      // What the parser says about these means nothing to a user; the log keeps it.
      {"a chunk that is no UTF-8",
       sse({contentEvent("partial"),
            "data: {\"choices\":[{\"index\":0,\"delta\":{\"content\":\"\xff\xfe\"}}]}\n\n"}),
       LocalizedText::Chat::answerUnreadable().toStdString()},
      {"a chunk with a bad escape",
       sse({contentEvent("partial"),
            "data: {\"choices\":[{\"index\":0,\"delta\":{\"content\":\"\\q\"}}]}\n\n"}),
       LocalizedText::Chat::answerUnreadable().toStdString()},
  };
  for (const Case& c : cases) {
    m_server.route("POST", kChatPath, c.response);
    auto stream = engine().send(question("x"), m_plan);
    const Collected got = collect(stream);
    ASSERT_TRUE(got.error) << c.name;
    EXPECT_EQ(messageText(got.error), c.text) << c.name;
    for (const ChatMessage& m : got.messages) EXPECT_FALSE(m.finished) << c.name;
    waitUntilIdle();
  }
}

TEST_F(ChatEngineTest, ADroppedStreamEndsWithAnErrorAndKeepsTheAnswerSoFar) {
  m_server.route("POST", kChatPath, ScriptedResponse::drop(contentEvent("Half an ans")));
  auto stream = engine().send(question("x"), m_plan);
  const Collected got = collect(stream);
  ASSERT_TRUE(got.error);
  EXPECT_FALSE(messageText(got.error).empty());
  ASSERT_EQ(got.messages.size(), 1u);
  EXPECT_EQ(got.messages[0].answer, "Half an ans");
  EXPECT_FALSE(got.messages[0].finished);
}

TEST_F(ChatEngineTest, StopInTheMiddleAbortsTheTransferAndEndsQuietly) {
  m_server.route("POST", kChatPath, ScriptedResponse::stall(contentEvent("first")));
  engine_test::LogCapture log;
  auto stream = engine().send(question("x"), m_plan);
  const auto first = engine_test::nextMessage(stream);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->answer, "first");
  stream.cancel();
  EXPECT_TRUE(m_server.waitForClientClose());
  waitUntilIdle();
  EXPECT_FALSE(stream.next());
  EXPECT_EQ(chatRequests().size(), 1u);
  EXPECT_EQ(log.linesStartingWith("The chat request failed"), std::vector<std::string>{});
}

TEST_F(ChatEngineTest, StopDuringTheToolRunStartsNoSecondPassAndLeavesNoFiles) {
  m_server.route(
      "POST", kChatPath,
      sse({toolEvent(0, "call_1", "image_generation_via_dalle", "{\"prompt\":\"x\"}"), kDone}));
  m_server.route("POST", "/v1/images/generations",
                 ScriptedResponse::json(200, R"({"created":1,"data":[{"url":")" +
                                                 m_server.url("/slow.png") + R"("}]})"));
  m_server.route("GET", "/slow.png",
                 ScriptedResponse::stall("\x89PNG", std::chrono::seconds(20), "image/png"));
  engine_test::LogCapture log;
  auto stream = engine().send(question("draw"), m_plan);
  const auto running = engine_test::nextMessage(stream);
  ASSERT_TRUE(running);
  ASSERT_TRUE(running->functionCalls);
  EXPECT_EQ(running->functionCalls->back().text, "Running DALLE-E");
  ASSERT_TRUE(m_server.waitForRequest(2));  // the download has started
  stream.cancel();
  EXPECT_TRUE(m_server.waitForClientClose());
  waitUntilIdle();
  EXPECT_EQ(chatRequests().size(), 1u);
  EXPECT_EQ(fileCount(m_dir.path() / "files"), 0u);
  EXPECT_EQ(log.linesStartingWith("The chat request failed"), std::vector<std::string>{});
}

// A picture that does not reach the user is a failed step, never "done": either the model is told
// why and answers in a second pass, or the request ends with the error.
TEST_F(ChatEngineTest, ImageToolOutcomesWithoutAPicture) {
  // A download read without a bound would pass this within a second.
  testing::MemoryCeiling ceiling(std::size_t{256} << 20);
  struct Case {
    const char* name;
    ScriptedResponse images;
    ScriptedResponse download;
    // How the reason the user and the model are given begins, when the answer goes on.
    std::string reason;
    // The error that ends the request instead.
    std::string error;
  };
  const std::string url = m_server.url("/picture");
  const std::string oneUrl = R"({"created":1,"data":[{"url":")" + url + R"("}]})";
  const std::vector<Case> cases = {
      {"no image has a URL", ScriptedResponse::json(200, R"({"created":1,"data":[{}]})"),
       ScriptedResponse::text(200, ""), "the service sent no image", ""},
      {"a body that is no image", ScriptedResponse::json(200, oneUrl),
       ScriptedResponse::text(200, "no picture here"), "the answer was no image that can be shown",
       ""},
      {"a picture too large to decode", ScriptedResponse::json(200, oneUrl),
       ScriptedResponse::text(200, testing::pngHeader(30000, 30000), "image/png"),
       "the image of 30000 x 30000 pixels could not be decoded", ""},
      {"the download answers 404", ScriptedResponse::json(200, oneUrl),
       ScriptedResponse::text(404, "Not Found"), "",
       "Error executing image_generation_via_dalle: Bad server response"},
      {"a download that never ends", ScriptedResponse::json(200, oneUrl),
       ScriptedResponse::endless({{std::string(64 * 1024, '\x89')}}, "image/png"), "",
       "Error executing image_generation_via_dalle: The server sent more data than this request "
       "accepts."},
      {"the image endpoint answers its error envelope",
       ScriptedResponse::json(400, R"({"error":{"message":"Your prompt was rejected.",
           "type":"invalid_request_error"}})"),
       ScriptedResponse::text(200, ""), "",
       "Error executing image_generation_via_dalle: Your prompt was rejected."},
  };
  for (const Case& c : cases) {
    m_server.route("POST", kChatPath, [](const RecordedRequest& request) {
      if (json::parse(request.body)["tool_choice"] == "none")
        return sse({contentEvent("ok"), kDone});
      return sse(
          {toolEvent(0, "call_1", "image_generation_via_dalle", R"({"prompt":"p"})"), kDone});
    });
    m_server.route("POST", "/v1/images/generations", c.images);
    m_server.route("GET", "/picture", c.download);
    const std::size_t before = chatRequests().size();
    auto stream = engine().send(question("draw"), m_plan);
    const Collected got = collect(stream);
    waitUntilIdle();
    ASSERT_TRUE(got.ended) << c.name;
    EXPECT_EQ(fileCount(m_dir.path() / "files"), 0u) << c.name;
    ASSERT_FALSE(got.messages.empty()) << c.name;
    const ChatMessage& last = got.messages.back();
    ASSERT_TRUE(last.functionCalls && last.functionCalls->size() == 1) << c.name;
    const ChatMessageFunctionCall& step = last.functionCalls->front();
    EXPECT_EQ(step.status, Status::failed) << c.name;
    if (!c.error.empty()) {
      ASSERT_TRUE(got.error) << c.name;
      EXPECT_EQ(messageText(got.error), c.error) << c.name;
      EXPECT_EQ(step.text, "DALLE-E") << c.name;
      EXPECT_EQ(chatRequests().size(), before + 1) << c.name << ": no second pass";
      continue;
    }
    ASSERT_FALSE(got.error) << c.name << ": " << describe(got.error);
    EXPECT_TRUE(last.finished) << c.name;
    EXPECT_EQ(last.answer, "ok") << c.name;
    EXPECT_EQ(last.answerFiles, std::vector<ChatMessageFile>{}) << c.name;
    EXPECT_TRUE(step.text.starts_with("DALLE-E: " + c.reason)) << c.name << ": " << step.text;
    const json second = json::parse(chatRequests().back().body);
    const std::string told = second["messages"].back()["content"];
    EXPECT_TRUE(told.starts_with(std::string(DalleFunctionCall::kFailureText) + c.reason))
        << c.name << ": " << told;
  }
}

TEST(ImageToolPrompt, IsTheParsedPromptOrTheRawArguments) {
  struct Case {
    std::string arguments;
    std::string prompt;
  };
  for (const Case& c :
       {Case{R"({"prompt":"a cat"})", "a cat"},
        Case{R"({"prompt": "quote \" inside"})", "quote \" inside"},
        Case{R"({"other":"x"})", R"({"other":"x"})"}, Case{R"({"prompt": 3})", R"({"prompt": 3})"},
        Case{"not json", "not json"}, Case{"", ""}}) {
    EXPECT_EQ(DalleFunctionCall::promptOf(c.arguments), c.prompt) << c.arguments;
  }
}

TEST(ToolCallFragments, AreGatheredByIndex) {
  using Fragment = ToolCallCollector::Fragment;
  using Function = Fragment::ChoiceDeltaToolCallFunction;
  ToolCallCollector collector;
  collector.merge({.index = 0, .id = "a", .function = Function{.arguments = "", .name = "f"}});
  collector.merge({.index = 0, .function = Function{.arguments = "{\"x\":"}});
  collector.merge({.index = 1, .id = "b", .function = Function{.name = "g"}});
  collector.merge({.index = 0, .function = Function{.arguments = "1}"}});
  collector.merge({.index = 1, .id = "b2"});
  EXPECT_EQ(collector.calls(),
            (std::vector<FunctionCall>{{"a", "f", "{\"x\":1}"}, {"b2", "g", std::nullopt}}));
}

TEST(ErrorText, IsTheServicesMessageOrTheDescription) {
  EXPECT_EQ(messageText(std::make_exception_ptr(TextError("plain text"))), "plain text");
  EXPECT_EQ(messageText(std::make_exception_ptr(
                aiclient::APIErrorResponse(aiclient::APIError("Rate limit", "requests")))),
            "Rate limit");
}

}  // namespace
}  // namespace tessra
