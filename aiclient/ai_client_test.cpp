#include "aiclient/ai_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <string>

#include "aiclient/client_test_support.h"
#include "platform/foundation/json.h"
#include "testing/scoped_env.h"

namespace tessra::aiclient {
namespace {

using tessra::testing::HttpServer;
using tessra::testing::ScopedEnv;
using tessra::testing::ScriptedResponse;
using testing::configurationFor;
using testing::errorAs;
using testing::kDeadline;
using testing::kEnvelope;
using testing::sampleQuery;

const std::string kChatAnswer =
    R"({"id":"chatcmpl-1","object":"chat.completion","created":1700000000,"model":"gpt-4o",)"
    R"("choices":[{"index":0,"message":{"role":"assistant","content":"Hi there"},)"
    R"("finish_reason":"stop"}],"usage":{"completion_tokens":2,"prompt_tokens":5,"total_tokens":7}})";

template <class T>
Result<T> wait(std::future<Result<T>>& future) {
  if (future.wait_for(kDeadline) != std::future_status::ready) {
    ADD_FAILURE() << "no completion";
    return std::unexpected(std::make_exception_ptr(TextError("no completion")));
  }
  return future.get();
}

Result<ChatResult> chat(AIClient& client, const ChatQuery& query) {
  std::promise<Result<ChatResult>> promise;
  auto future = promise.get_future();
  client.chats(query, [&](Result<ChatResult> result) { promise.set_value(std::move(result)); });
  return wait(future);
}

TEST(AIClient, PostsAChatRequestWithTheCredentialsAndTheQueryAsGiven) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(200, kChatAnswer));
  auto configuration = configurationFor(server);
  configuration.token = "sk-test\n";
  configuration.organizationIdentifier = "org-42";
  AIClient client(configuration);

  const auto answer = chat(client, sampleQuery());
  ASSERT_TRUE(answer) << describe(answer.error());
  const auto content = answer->choices.at(0).message.content();
  ASSERT_TRUE(content && content->string());
  EXPECT_EQ(*content->string(), "Hi there");

  const auto request = server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, "POST");
  EXPECT_EQ(request->path, "/v1/chat/completions");
  EXPECT_EQ(request->query, "");
  EXPECT_EQ(request->header("Authorization"), "Bearer sk-test");
  EXPECT_EQ(request->header("OpenAI-Organization"), "org-42");
  EXPECT_EQ(request->header("Content-Type"), "application/json");
  EXPECT_EQ(request->body,
            R"({"messages":[{"content":"Hello","role":"user"}],"model":"gpt-4o","stream":false})");
}

TEST(AIClient, SendsNoOrganizationHeaderWithoutOne) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(200, kChatAnswer));
  AIClient client(configurationFor(server));
  ASSERT_TRUE(chat(client, sampleQuery()));
  const auto request = server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_FALSE(request->header("OpenAI-Organization"));
}

TEST(AIClient, PutsTheBasePathBeforeEveryEndpoint) {
  HttpServer server;
  server.route("POST", "/proxy/v1/chat/completions", ScriptedResponse::json(200, kChatAnswer));
  auto configuration = configurationFor(server);
  configuration.basePath = "/proxy";
  AIClient client(configuration);
  ASSERT_TRUE(chat(client, sampleQuery()));
  const auto request = server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->path, "/proxy/v1/chat/completions");
}

TEST(AIClient, BuildsUrlsWithThePortAlwaysAndThePathEncoded) {
  struct Case {
    AIClient::Configuration configuration;
    std::string path;
    std::optional<std::string> url;
  };
  const AIClient::Configuration service{.token = "", .host = "api.example.net"};
  auto withBase = service;
  withBase.basePath = "/base/";
  auto badHost = service;
  badHost.host = "exa mple";
  auto badScheme = service;
  badScheme.scheme = "1http";
  auto badPort = service;
  badPort.port = 70000;
  const Case cases[] = {
      {service, "/v1/models", "https://api.example.net:443/v1/models"},
      {service, "/v1/models/", "https://api.example.net:443/v1/models/"},
      {service, "/v1/models/ft:gpt 3.5/x?y#z%",
       "https://api.example.net:443/v1/models/ft:gpt%203.5/x%3Fy%23z%25"},
      {service, "/v1/models/h\xC3\xA9", "https://api.example.net:443/v1/models/h%C3%A9"},
      {withBase, "/v1/models", "https://api.example.net:443/base/v1/models"},
      {badHost, "/v1/models", std::nullopt},
      {badScheme, "/v1/models", std::nullopt},
      {badPort, "/v1/models", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto url = AIClient(c.configuration).buildURL(c.path);
    if (!c.url) {
      ASSERT_FALSE(url) << c.path;
      const auto error = errorAs<platform::UrlError>(url.error());
      ASSERT_TRUE(error);
      EXPECT_EQ(error->code(), platform::UrlError::Code::badURL);
      continue;
    }
    ASSERT_TRUE(url) << c.path;
    EXPECT_EQ(*url, *c.url);
  }
}

TEST(AIClient, AConfigurationThatMakesNoUrlFailsThroughTheCompletion) {
  AIClient client(AIClient::Configuration{.token = "sk", .host = "bad host"});
  const auto answer = chat(client, sampleQuery());
  ASSERT_FALSE(answer);
  EXPECT_EQ(errorAs<platform::UrlError>(answer.error())->code(), platform::UrlError::Code::badURL);
}

TEST(AIClientConfiguration, TheTokenAloneNamesThePublicServiceUnlessTheEnvironmentSaysOtherwise) {
  {
    ScopedEnv unset(AIClient::kBaseUrlVariable, "");
    const AIClient client("sk-key");
    const auto& c = client.configuration();
    EXPECT_EQ(c.token, "sk-key");
    EXPECT_FALSE(c.organizationIdentifier);
    EXPECT_EQ(c.host, AIClient::kPublicHost);
    EXPECT_EQ(c.port, 443);
    EXPECT_EQ(c.scheme, "https");
    EXPECT_EQ(c.timeoutInterval, 60.0);
    EXPECT_EQ(client.buildURL("/v1/models").value(), "https://api.openai.com:443/v1/models");
  }
  {
    ScopedEnv local(AIClient::kBaseUrlVariable, "http://127.0.0.1:8089/proxy");
    const auto c = AIClient::Configuration::forToken("sk");
    EXPECT_EQ(c.scheme, "http");
    EXPECT_EQ(c.host, "127.0.0.1");
    EXPECT_EQ(c.port, 8089);
    EXPECT_EQ(c.basePath, "/proxy");
  }
  {
    ScopedEnv broken(AIClient::kBaseUrlVariable, "127.0.0.1:8089");
    EXPECT_EQ(AIClient::Configuration::forToken("sk").host, AIClient::kPublicHost);
  }
}

TEST(AIClient, PlainRequestsFailWithTheServicesMessageOrTheStatus) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(401, kEnvelope));
  server.route("POST", "/v1/images/generations",
               ScriptedResponse::text(500, "<html><h1>Oops</h1></html>", "text/html"));
  AIClient client(configurationFor(server));

  const auto unauthorized = chat(client, sampleQuery());
  ASSERT_FALSE(unauthorized);
  const auto envelope = errorAs<APIErrorResponse>(unauthorized.error());
  ASSERT_TRUE(envelope);
  EXPECT_EQ(envelope->error.code, "invalid_api_key");
  EXPECT_STREQ(envelope->what(), "Incorrect API key provided: sk-test.");

  std::promise<Result<ImagesResult>> promise;
  auto future = promise.get_future();
  client.images({.prompt = "x"},
                [&](Result<ImagesResult> result) { promise.set_value(std::move(result)); });
  const auto failed = wait(future);
  ASSERT_FALSE(failed);
  EXPECT_EQ(describe(failed.error()), "HTTP 500: Oops");
}

TEST(AIClient, AnErrorBodyPastTheBoundFailsWithItsStatusAndItsStartASuccessAsTooLarge) {
  constexpr std::size_t kBound = 64 * 1024;
  const std::string piece = "Slow-down;";
  std::string oversized;
  while (oversized.size() <= kBound) oversized += piece;
  const std::string start = oversized.substr(0, 200) + "…";
  const struct {
    const char* name;
    ScriptedResponse response;
    std::string error;
  } cases[] = {
      {"429 without end", ScriptedResponse::endless({{piece}}, "text/plain").withStatus(429),
       "HTTP 429: " + start},
      {"503 declared past the bound", ScriptedResponse::text(503, oversized), "HTTP 503: " + start},
      {"200 declared past the bound", ScriptedResponse::text(200, oversized),
       platform::UrlError::message(platform::UrlError::Code::tooLarge)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server;
    server.route("POST", "/v1/chat/completions", c.response);
    AIClient::Configuration configuration = configurationFor(server);
    configuration.maximumBodySize = kBound;
    AIClient client(configuration);

    const auto answer = chat(client, sampleQuery());
    ASSERT_FALSE(answer);
    EXPECT_EQ(describe(answer.error()), c.error);

    testing::StreamRecorder stream;
    client.chatsStream(sampleQuery(), stream.onResult(), stream.completion());
    ASSERT_TRUE(stream.waitForCompletion());
    EXPECT_EQ(describe(stream.end()), c.error);
  }
}

TEST(AIClient, AnErrorBodyNestedFifteenThousandDeepEndsInAnErrorNotACrash) {
  const std::string body = "{\"error\":" + std::string(15000, '[') + std::string(15000, ']') + "}";
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(400, body));
  AIClient client(configurationFor(server));

  const auto answer = chat(client, sampleQuery());
  ASSERT_FALSE(answer);
  const auto status = errorAs<HTTPStatusError>(answer.error());
  ASSERT_TRUE(status);
  EXPECT_EQ(status->statusCode(), 400);
}

TEST(AIClient, AQueryThatCannotBeWrittenIsReportedAndNothingIsSent) {
  HttpServer server;
  AIClient client(configurationFor(server));
  auto query = sampleQuery();
  query.temperature = std::nan("");
  const auto answer = chat(client, query);
  ASSERT_FALSE(answer);
  EXPECT_TRUE(errorAs<platform::JsonEncodingError>(answer.error()));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(AIClient, AnUnreachableServerFailsWithTheTransportError) {
  std::optional<AIClient::Configuration> configuration;
  {
    HttpServer gone;
    configuration = configurationFor(gone);
  }
  AIClient client(*configuration);
  const auto answer = chat(client, sampleQuery());
  ASSERT_FALSE(answer);
  const auto error = errorAs<platform::UrlError>(answer.error());
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), platform::UrlError::Code::cannotConnect);
}

TEST(AIClient, GeneratesImagesThroughTheImagesEndpoint) {
  HttpServer server;
  server.route("POST", "/v1/images/generations",
               ScriptedResponse::json(
                   200, R"({"created":1700000000,"data":[{"url":"https://img.example/a.png",)"
                        R"("revised_prompt":"a red lighthouse"}]})"));
  AIClient client(configurationFor(server));
  const ImagesQuery query{.prompt = "a lighthouse",
                          .model = "dall-e-3",
                          .responseFormat = ImagesQuery::ResponseFormat::url,
                          .n = 1,
                          .size = ImagesQuery::Size::_1024};
  std::promise<Result<ImagesResult>> promise;
  auto future = promise.get_future();
  client.images(query, [&](Result<ImagesResult> result) { promise.set_value(std::move(result)); });
  const auto result = wait(future);
  ASSERT_TRUE(result) << describe(result.error());
  ASSERT_EQ(result->data.size(), 1u);
  EXPECT_EQ(result->data[0].url, "https://img.example/a.png");
  EXPECT_EQ(result->data[0].revisedPrompt, "a red lighthouse");

  const auto request = server.waitForRequest(0);
  EXPECT_EQ(request->path, "/v1/images/generations");
  EXPECT_EQ(platform::parseJson(request->body),
            platform::parseJson(R"({"prompt":"a lighthouse","model":"dall-e-3",)"
                                R"("response_format":"url","n":1,"size":"1024x1024"})"));
}

}  // namespace
}  // namespace tessra::aiclient
