#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <future>
#include <string>

#include "Tessra/storage/storage_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "aiclient/ai_client.h"
#include "aiclient/api_error.h"
#include "testing/http_server.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

using testing::HttpServer;
using testing::ScriptedResponse;

constexpr const char* kPath = "/v1/chat/completions";

std::string answerWith(const std::string& choices) {
  return R"({"id":"chatcmpl-1","object":"chat.completion","created":1700000000,)"
         R"("model":"gpt-3.5-turbo","choices":)" +
         choices + "}";
}

class ApiKeyCheckTest : public ::testing::Test {
 protected:
  ApiKeyCheckTest() {
    ::setenv(aiclient::AIClient::kBaseUrlVariable, m_server.baseUrl().c_str(), 1);
  }
  ~ApiKeyCheckTest() override { ::unsetenv(aiclient::AIClient::kBaseUrlVariable); }

  Result<void> check(const std::string& key, ChatGPTModels model) {
    std::promise<Result<void>> done;
    UserSettings::testApiKey(key, model, [&](Result<void> result) { done.set_value(result); });
    auto future = done.get_future();
    if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "no answer";
      return {};
    }
    return future.get();
  }

  static std::string errorText(const Result<void>& result) {
    return result ? std::string() : describe(result.error());
  }

  HttpServer m_server;
};

TEST_F(ApiKeyCheckTest, SendsExactlyTheTwoMessagesWithTheGivenKey) {
  m_server.route("POST", kPath,
                 ScriptedResponse::json(200, answerWith(R"([{"index":0,"message":)"
                                                        R"({"role":"assistant","content":"Hi!"},)"
                                                        R"("finish_reason":"stop"}])")));
  storage_test::LogCapture log;
  const auto result = check("sk-typed", ChatGPTModels::gpt4turbo);
  EXPECT_TRUE(result.has_value()) << errorText(result);
  EXPECT_TRUE(log.contains("\"ApiKey Test answer\" \"Hi!\""));

  const auto request = m_server.waitForRequest(0);
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(request->header("Authorization"), "Bearer sk-typed");
  nlohmann::json body = nlohmann::json::parse(request->body);
  EXPECT_EQ(body["model"], "gpt-4-turbo-preview");
  EXPECT_EQ(body["messages"], nlohmann::json::parse(R"([
      {"role":"system","content":"You're a helpful assistant"},
      {"role":"user","content":"Hello"}])"));
  body.erase("messages");
  body.erase("model");
  // Nothing else is asked for: at most the plain (not streamed) flag remains.
  if (body.contains("stream")) {
    EXPECT_EQ(body["stream"], false);
    body.erase("stream");
  }
  EXPECT_TRUE(body.empty()) << body.dump();
}

TEST_F(ApiKeyCheckTest, AnswersWithoutTextAreInvalid) {
  const char* choices[] = {
      "[]",
      R"([{"index":0,"message":{"role":"assistant","content":null},"finish_reason":"stop"}])",
      R"([{"index":0,"message":{"role":"assistant"},"finish_reason":"length"}])",
  };
  for (const char* c : choices) {
    SCOPED_TRACE(c);
    m_server.route("POST", kPath, ScriptedResponse::json(200, answerWith(c)));
    const auto result = check("sk-x", ChatGPTModels::gpt35);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(errorText(result), "Invalid response");
  }
}

TEST_F(ApiKeyCheckTest, TheServiceErrorReachesTheCallerUnchanged) {
  m_server.route("POST", kPath,
                 ScriptedResponse::json(401, R"({"error":{"message":"Incorrect API key provided",)"
                                             R"("type":"invalid_request_error","param":null,)"
                                             R"("code":"invalid_api_key"}})"));
  const auto result = check("sk-wrong", ChatGPTModels::gpt4o);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(errorText(result), "Incorrect API key provided");
  try {
    std::rethrow_exception(result.error());
  } catch (const aiclient::APIErrorResponse& error) {
    EXPECT_EQ(error.error.type, "invalid_request_error");
  } catch (...) {
    ADD_FAILURE() << "not the service's error envelope";
  }
}

TEST_F(ApiKeyCheckTest, AnAnswerThatNeverEndsFailsWithinItsBound) {
  m_server.route("POST", kPath,
                 ScriptedResponse::endless({{R"({"choices":[)" + std::string(64 * 1024, ' ')}},
                                           "application/json"));
  testing::MemoryCeiling ceiling(std::size_t{64} << 20);
  const auto result = check("sk-endless", ChatGPTModels::gpt35);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(errorText(result), "The server sent more data than this request accepts.");
  EXPECT_TRUE(m_server.waitForClientClose());
}

}  // namespace
}  // namespace tessra
