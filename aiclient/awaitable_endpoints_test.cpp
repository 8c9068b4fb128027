#include "aiclient/awaitable_endpoints.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <string>
#include <vector>

#include "aiclient/client_test_support.h"

namespace tessra::aiclient {
namespace {

using tessra::testing::HttpServer;
using tessra::testing::Piece;
using tessra::testing::ScriptedResponse;
using tessra::testing::StreamEnd;
using testing::chunkJson;
using testing::configurationFor;
using testing::errorAs;
using testing::event;
using testing::kDeadline;
using testing::kEnvelope;
using testing::sampleQuery;
using namespace std::chrono_literals;

static_assert(AIClientProtocol<AIClient>);

template <class T>
bool ready(std::future<T>& future) {
  return future.wait_for(kDeadline) == std::future_status::ready;
}

// Reads the stream to its end on this thread: the contents, then the ending error or null.
std::pair<std::vector<std::string>, ErrorPtr> readAll(
    platform::AsyncStream<ChatStreamResult>& stream) {
  std::vector<std::string> contents;
  try {
    while (auto chunk = stream.next()) contents.push_back(*chunk->choices.at(0).delta.content);
  } catch (...) {
    return {contents, std::current_exception()};
  }
  return {contents, nullptr};
}

TEST(AwaitableEndpoints, ChatsReturnsTheAnswerOrRaisesTheVeryError) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(401, kEnvelope));
  AIClient client(configurationFor(server));
  auto answer = chats(client, sampleQuery());
  ASSERT_TRUE(ready(answer));
  try {
    answer.get();
    FAIL() << "no error";
  } catch (const APIErrorResponse& envelope) {
    EXPECT_EQ(envelope.error.code, "invalid_api_key");
  }
}

TEST(AwaitableEndpoints, ImagesReturnsTheResult) {
  HttpServer server;
  server.route("POST", "/v1/images/generations",
               ScriptedResponse::json(200, R"({"created":1,"data":[{"b64_json":"AAAA"}]})"));
  AIClient client(configurationFor(server));
  auto result = images(client, ImagesQuery{.prompt = "p"});
  ASSERT_TRUE(ready(result));
  EXPECT_EQ(result.get().data.at(0).b64Json, "AAAA");
}

TEST(AwaitableEndpoints, ChatsStreamYieldsEveryChunkThenEnds) {
  std::string body;
  for (int i = 0; i < 20; ++i) body += event(chunkJson(std::to_string(i), i));
  HttpServer server;
  server.route("POST", "/v1/chat/completions",
               ScriptedResponse::streamed(tessra::testing::splitEvery(body, 13)));
  AIClient client(configurationFor(server));
  auto stream = chatsStream(client, sampleQuery());
  const auto [contents, error] = readAll(stream);
  ASSERT_EQ(contents.size(), 20u);
  EXPECT_EQ(contents.front(), "0");
  EXPECT_EQ(contents.back(), "19");
  EXPECT_EQ(error, nullptr);
}

TEST(AwaitableEndpoints, ChatsStreamEndsAtTheFirstFailureAndStopsTheTransfer) {
  std::vector<Piece> pieces = {{event(chunkJson("a")) + event(kEnvelope)}};
  for (int i = 0; i < 100; ++i) pieces.push_back({event(chunkJson("late", i)), 10ms});
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(pieces));
  AIClient client(configurationFor(server));
  auto stream = chatsStream(client, sampleQuery());
  const auto [contents, error] = readAll(stream);
  EXPECT_EQ(contents, std::vector<std::string>{"a"});
  EXPECT_TRUE(errorAs<APIErrorResponse>(error));
  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

TEST(AwaitableEndpoints, AConsumerThatStopsCancelsTheTransfer) {
  std::vector<Piece> pieces;
  for (int i = 0; i < 400; ++i) pieces.push_back({event(chunkJson("x", i)), 5ms});
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(pieces));
  AIClient client(configurationFor(server));
  {
    auto stream = chatsStream(client, sampleQuery());
    ASSERT_TRUE(stream.next());
  }
  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

TEST(AwaitableEndpoints, AStreamWhoseRequestCannotBeBuiltEndsWithThatError) {
  HttpServer server;
  AIClient client(configurationFor(server));
  auto query = sampleQuery();
  query.presencePenalty = std::nan("");
  auto stream = chatsStream(client, query);
  const auto [contents, error] = readAll(stream);
  EXPECT_TRUE(contents.empty());
  EXPECT_TRUE(errorAs<platform::JsonEncodingError>(error));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(AwaitableEndpoints, ACompletionDroppedWithoutAnswerFailsTheCall) {
  std::future<int> future =
      detail::awaitOne<int>("test(query:)", [](Completion<int> done) { done = nullptr; });
  ASSERT_TRUE(ready(future));
  try {
    future.get();
    FAIL() << "no error";
  } catch (const PendingCallDroppedError& error) {
    EXPECT_EQ(error.cause(), "test(query:)");
  }
}

TEST(AwaitableEndpoints, ASecondResumptionIsIgnored) {
  std::future<int> future = detail::awaitOne<int>("test(query:)", [](Completion<int> done) {
    done(1);
    done(2);
  });
  ASSERT_TRUE(ready(future));
  EXPECT_EQ(future.get(), 1);
}

}  // namespace
}  // namespace tessra::aiclient
