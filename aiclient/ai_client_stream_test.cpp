#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "aiclient/ai_client.h"
#include "aiclient/client_test_support.h"
#include "platform/foundation/json.h"

namespace tessra::aiclient {
namespace {

using tessra::testing::HttpServer;
using tessra::testing::Piece;
using tessra::testing::ScriptedResponse;
using tessra::testing::splitAt;
using tessra::testing::splitEvery;
using tessra::testing::StreamEnd;
using testing::chunkJson;
using testing::configurationFor;
using testing::errorAs;
using testing::event;
using testing::kEnvelope;
using testing::sampleQuery;
using testing::StreamRecorder;
using namespace std::chrono_literals;

const std::vector<std::string> kContents = {"H\xC3\xA9", "llo ", "\xF0\x9F\x98\x80",
                                            " data: not a field", "!"};

std::string answerBody(bool withDone = true) {
  std::string body = ": the service may send comments\n\n";
  for (std::size_t i = 0; i < kContents.size(); ++i) {
    body += event(chunkJson(kContents[i], static_cast<int>(i)));
  }
  if (withDone) body += "data: [DONE]\n\n";
  return body;
}

void expectWholeAnswer(const StreamRecorder& recorder, const std::string& name) {
  EXPECT_EQ(recorder.contents(), kContents) << name;
  EXPECT_TRUE(recorder.errors().empty()) << name;
  EXPECT_EQ(recorder.completions(), 1) << name;
  EXPECT_EQ(recorder.end(), nullptr) << name << ": " << describe(recorder.end());
}

TEST(ChatsStream, DeliversEveryChunkInOrderWhereverThePacketsAreCut) {
  const std::string body = answerBody();
  // Offsets inside the two-byte é, inside the four-byte emoji, inside "data:" and right
  // after a line feed.
  const std::size_t e = body.find("\xC3\xA9") + 1;
  const std::size_t emoji = body.find("\xF0\x9F") + 2;
  const std::size_t field = body.find("data: {", 40) + 3;
  struct Case {
    std::string name;
    std::vector<Piece> pieces;
  };
  const std::vector<Case> cases = {
      {"all in one packet", {{body}}},
      {"one byte at a time", splitEvery(body, 1, 1ms)},
      {"inside characters and fields", splitAt(body, {e, field, emoji}, 5ms)},
      {"every seven bytes", splitEvery(body, 7, 1ms)},
  };
  for (const auto& c : cases) {
    HttpServer server;
    server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(c.pieces));
    AIClient client(configurationFor(server));
    StreamRecorder recorder;
    client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
    ASSERT_TRUE(recorder.waitForCompletion()) << c.name;
    expectWholeAnswer(recorder, c.name);
    EXPECT_EQ(client.streamingSessions().count(), 0u) << c.name;
  }
}

TEST(ChatsStream, SendsTheStreamFlagOnACopyOfTheQuery) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed({{answerBody()}}));
  AIClient client(configurationFor(server));
  const ChatQuery query = sampleQuery();
  StreamRecorder recorder;
  client.chatsStream(query, recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForCompletion());
  EXPECT_FALSE(query.stream);

  const auto request = server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, "POST");
  EXPECT_EQ(request->path, "/v1/chat/completions");
  EXPECT_EQ(request->header("Authorization"), "Bearer sk-test");
  EXPECT_EQ(platform::parseJson(request->body)["stream"], true);
}

TEST(ChatsStream, EndsAtTheEndMarkerEvenWhenTheServerKeepsTheConnectionOpen) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::stall(answerBody(), 30s));
  AIClient client(configurationFor(server));
  StreamRecorder recorder;
  client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForCompletion());
  expectWholeAnswer(recorder, "stalled after the marker");
  EXPECT_TRUE(server.waitForClientClose());
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

TEST(ChatsStream, EndsCleanlyAtTheEndOfTheBodyWithoutTheMarker) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions",
               ScriptedResponse::streamed({{answerBody(/*withDone=*/false)}}));
  AIClient client(configurationFor(server));
  StreamRecorder recorder;
  client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForCompletion());
  expectWholeAnswer(recorder, "no marker");
}

TEST(ChatsStream, EndsCleanlyWhenTheBodyStopsRightAfterTheMarkerLine) {
  for (const std::string ending :
       {"data: [DONE]", "data:[DONE]", "data: [DONE]\n", "data: [DONE]\r\n"}) {
    SCOPED_TRACE(ending);
    HttpServer server;
    server.route("POST", "/v1/chat/completions",
                 ScriptedResponse::streamed({{answerBody(/*withDone=*/false) + ending}}));
    AIClient client(configurationFor(server));
    StreamRecorder recorder;
    client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
    ASSERT_TRUE(recorder.waitForCompletion());
    expectWholeAnswer(recorder, ending);
  }
}

TEST(ChatsStream, ReportsEventsThatAreNoChunksAndGoesOn) {
  // A JSON text whose string holds half of a two-byte character.
  const std::string cutCharacter =
      chunkJson("c").replace(chunkJson("c").find("\"c\"") + 1, 1, "\xC3");
  const std::string body = event(chunkJson("a")) + event(kEnvelope) + event("{\"id\":") +
                           event("\xFF\xFE") + event(cutCharacter) + event(chunkJson("b")) +
                           "data: [DONE]\n\n";
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed({{body}}));
  AIClient client(configurationFor(server));
  StreamRecorder recorder;
  client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForCompletion());

  EXPECT_EQ(recorder.contents(), (std::vector<std::string>{"a", "b"}));
  const auto errors = recorder.errors();
  ASSERT_EQ(errors.size(), 4u);
  const auto envelope = errorAs<APIErrorResponse>(errors[0]);
  ASSERT_TRUE(envelope);
  EXPECT_STREQ(envelope->what(), "Incorrect API key provided: sk-test.");
  EXPECT_TRUE(errorAs<platform::JsonDecodingError>(errors[1]));
  const auto notText = errorAs<StreamingError>(errors[2]);
  ASSERT_TRUE(notText);
  EXPECT_EQ(notText->code(), StreamingError::Code::unknownContent);
  const auto cut = errorAs<StreamingError>(errors[3]);
  ASSERT_TRUE(cut) << describe(errors[3]);
  EXPECT_EQ(cut->code(), StreamingError::Code::unknownContent);
  EXPECT_EQ(recorder.end(), nullptr);
}

struct FailureCase {
  std::string name;
  ScriptedResponse response;
  double timeout;
  std::size_t chunksBefore;
  // Checks the completion's error.
  std::function<void(const ErrorPtr&)> check;
};

void expectUrlError(const ErrorPtr& error, platform::UrlError::Code code) {
  const auto urlError = errorAs<platform::UrlError>(error);
  ASSERT_TRUE(urlError) << describe(error);
  EXPECT_EQ(urlError->code(), code) << describe(error);
}

TEST(ChatsStream, EveryFailureEndsTheStreamPromptlyWithItsError) {
  const std::string twoChunks = event(chunkJson("a")) + event(chunkJson("b"));
  const std::vector<FailureCase> cases = {
      {"401 with the envelope", ScriptedResponse::json(401, kEnvelope), 10, 0,
       [](const ErrorPtr& error) {
         const auto envelope = errorAs<APIErrorResponse>(error);
         ASSERT_TRUE(envelope);
         EXPECT_EQ(envelope->error.type, "invalid_request_error");
       }},
      {"429 with the envelope",
       ScriptedResponse::json(429, R"({"error":{"message":"Rate limit reached","type":"tokens"}})"),
       10, 0, [](const ErrorPtr& error) { EXPECT_EQ(describe(error), "Rate limit reached"); }},
      {"500 with a page", ScriptedResponse::text(500, "<html>Bad things</html>", "text/html"), 10,
       0,
       [](const ErrorPtr& error) {
         const auto status = errorAs<HTTPStatusError>(error);
         ASSERT_TRUE(status);
         EXPECT_EQ(status->statusCode(), 500);
         EXPECT_STREQ(status->what(), "HTTP 500: Bad things");
       }},
      {"an error status on an event stream",
       ScriptedResponse::streamed({{twoChunks}}).withStatus(503), 10, 0,
       [](const ErrorPtr& error) { EXPECT_TRUE(errorAs<HTTPStatusError>(error)); }},
      {"200 with a JSON envelope instead of a stream", ScriptedResponse::json(200, kEnvelope), 10,
       0, [](const ErrorPtr& error) { EXPECT_TRUE(errorAs<APIErrorResponse>(error)); }},
      {"200 with some other JSON", ScriptedResponse::json(200, "{}"), 10, 0,
       [](const ErrorPtr& error) { EXPECT_EQ(describe(error), "HTTP 200: {}"); }},
      {"dropped mid-stream", ScriptedResponse::drop(twoChunks + "data: {\"id\""), 10, 2,
       [](const ErrorPtr& error) {
         expectUrlError(error, platform::UrlError::Code::connectionLost);
       }},
      // Far longer than a loaded machine takes to bring the two chunks before the silence.
      {"stalled past the idle timeout", ScriptedResponse::stall(twoChunks, 30s), 2, 2,
       [](const ErrorPtr& error) { expectUrlError(error, platform::UrlError::Code::timedOut); }},
      {"ended inside an event", ScriptedResponse::streamed({{twoChunks + "data: {\"id\""}}), 10, 2,
       [](const ErrorPtr& error) {
         const auto unfinished = errorAs<UnfinishedEventError>(error);
         ASSERT_TRUE(unfinished);
         EXPECT_EQ(unfinished->leftover(), "data: {\"id\"");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server;
    server.route("POST", "/v1/chat/completions", c.response);
    AIClient client(configurationFor(server, c.timeout));
    StreamRecorder recorder;
    client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
    ASSERT_TRUE(recorder.waitForCompletion());
    EXPECT_EQ(recorder.contents().size(), c.chunksBefore);
    EXPECT_TRUE(recorder.errors().empty());
    ASSERT_NE(recorder.end(), nullptr);
    c.check(recorder.end());
    EXPECT_EQ(client.streamingSessions().count(), 0u);
  }
}

TEST(ChatsStream, AnUnreachableServerEndsTheStreamWithTheTransportError) {
  std::optional<AIClient::Configuration> configuration;
  {
    HttpServer gone;
    configuration = configurationFor(gone);
  }
  AIClient client(*configuration);
  StreamRecorder recorder;
  client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForCompletion());
  expectUrlError(recorder.end(), platform::UrlError::Code::cannotConnect);
  EXPECT_EQ(recorder.reports(), 0u);
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

TEST(ChatsStream, ARequestThatCannotBeBuiltReportsOnlyToTheCompletion) {
  HttpServer server;
  AIClient client(configurationFor(server));
  auto query = sampleQuery();
  query.topP = std::nan("");
  StreamRecorder recorder;
  const StreamingTask task = client.chatsStream(query, recorder.onResult(), recorder.completion());
  EXPECT_EQ(recorder.completions(), 1);
  EXPECT_TRUE(errorAs<platform::JsonEncodingError>(recorder.end()));
  EXPECT_EQ(recorder.reports(), 0u);
  EXPECT_TRUE(task.hasEnded());
  EXPECT_EQ(server.requestCount(), 0u);
}

std::vector<Piece> slowAnswer(int chunks) {
  std::vector<Piece> pieces;
  for (int i = 0; i < chunks; ++i) pieces.push_back({event(chunkJson("x", i)), 5ms});
  return pieces;
}

TEST(ChatsStream, CancelAbortsTheTransferAndNothingRunsAfterIt) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(slowAnswer(400)));
  AIClient client(configurationFor(server));
  StreamRecorder recorder;
  const StreamingTask task =
      client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  ASSERT_TRUE(recorder.waitForReports(3));
  EXPECT_EQ(client.streamingSessions().count(), 1u);

  task.cancel();
  const std::size_t reportsAtCancel = recorder.reports();
  EXPECT_TRUE(task.hasEnded());
  EXPECT_EQ(client.streamingSessions().count(), 0u);

  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  EXPECT_EQ(recorder.reports(), reportsAtCancel);
  EXPECT_EQ(recorder.completions(), 0);
}

TEST(ChatsStream, CancelFromInsideTheHandlerStopsAtThatChunk) {
  std::string body;
  for (int i = 0; i < 5; ++i) body += event(chunkJson(std::to_string(i), i));
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::stall(body, 30s));
  AIClient client(configurationFor(server));

  auto task = std::make_shared<StreamingTask>();
  std::atomic<int> chunks{0};
  std::atomic<int> completions{0};
  std::promise<void> cancelled;
  // The handler runs on the transfer's thread: it touches the handle only once the test thread
  // has stored it.
  std::promise<void> stored;
  std::shared_future<void> handleStored = stored.get_future().share();
  *task = client.chatsStream(
      sampleQuery(),
      [&, task, handleStored](Result<ChatStreamResult>) {
        if (++chunks == 2) {
          handleStored.wait();
          task->cancel();
          cancelled.set_value();
        }
      },
      [&](ErrorPtr) { ++completions; });
  stored.set_value();
  ASSERT_EQ(cancelled.get_future().wait_for(testing::kDeadline), std::future_status::ready);
  EXPECT_TRUE(server.waitForClientClose());
  EXPECT_EQ(chunks, 2);
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

TEST(ChatsStream, AStreamOutlivesItsClient) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(slowAnswer(5)));
  StreamRecorder recorder;
  {
    AIClient client(configurationFor(server));
    client.chatsStream(sampleQuery(), recorder.onResult(), recorder.completion());
  }
  ASSERT_TRUE(recorder.waitForCompletion());
  EXPECT_EQ(recorder.contents().size(), 5u);
  EXPECT_EQ(recorder.end(), nullptr);
}

}  // namespace
}  // namespace tessra::aiclient
