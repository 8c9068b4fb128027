#include "aiclient/publisher_endpoints.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
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

// What one subscriber received.
template <class T>
class Sink {
 public:
  std::function<void(T)> value() {
    return [this](T v) {
      std::lock_guard lock(m_mutex);
      m_values.push_back(std::move(v));
      m_changed.notify_all();
    };
  }
  std::function<void(ErrorPtr)> completion() {
    return [this](ErrorPtr error) {
      std::lock_guard lock(m_mutex);
      m_completions.push_back(error);
      m_changed.notify_all();
    };
  }
  bool waitForCompletion() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kDeadline, [&] { return !m_completions.empty(); });
  }
  bool waitForValues(std::size_t count) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kDeadline, [&] { return m_values.size() >= count; });
  }
  std::vector<T> values() {
    std::lock_guard lock(m_mutex);
    return m_values;
  }
  std::vector<ErrorPtr> completions() {
    std::lock_guard lock(m_mutex);
    return m_completions;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<T> m_values;
  std::vector<ErrorPtr> m_completions;
};

TEST(Publisher, AFutureRunsOnceAndGivesEverySubscriberTheSameResult) {
  int runs = 0;
  const auto publisher = makeFuture<int>([&](auto promise) {
    ++runs;
    promise(7);
    promise(8);
  });
  Sink<int> early, late;
  auto first = publisher.subscribe(early.value(), early.completion());
  auto second = publisher.subscribe(late.value(), late.completion());
  EXPECT_EQ(runs, 1);
  for (auto* sink : {&early, &late}) {
    EXPECT_EQ(sink->values(), std::vector<int>{7});
    EXPECT_EQ(sink->completions(), std::vector<ErrorPtr>{nullptr});
  }
}

TEST(Publisher, ASubjectKeepsWhatCameBeforeItsFirstSubscriber) {
  PassthroughSubject<int> subject;
  subject.send(1);
  subject.send(2);
  const auto publisher = subject.eraseToAnyPublisher();
  Sink<int> first, second;
  auto a = publisher.subscribe(first.value(), first.completion());
  subject.send(3);
  auto b = publisher.subscribe(second.value(), second.completion());
  subject.send(4);
  a.cancel();
  subject.send(5);
  subject.sendCompletion(nullptr);
  subject.send(6);
  EXPECT_EQ(first.values(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(first.completions().empty());
  EXPECT_EQ(second.values(), (std::vector<int>{4, 5}));
  EXPECT_EQ(second.completions(), std::vector<ErrorPtr>{nullptr});
}

TEST(Publisher, ASubjectNobodyCanReadAnyMoreIsAbandonedOnce) {
  PassthroughSubject<int> subject;
  int abandoned = 0;
  subject.setOnAbandon([&] { ++abandoned; });
  {
    const auto publisher = subject.eraseToAnyPublisher();
    Sink<int> sink;
    auto subscription = publisher.subscribe(sink.value(), sink.completion());
    subscription.cancel();
    EXPECT_EQ(abandoned, 0) << "the handle can still subscribe";
  }
  EXPECT_EQ(abandoned, 1);
}

TEST(PublisherEndpoints, ChatsPublishesTheAnswerOrTheError) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::json(401, kEnvelope));
  AIClient client(configurationFor(server));
  const auto publisher = chatsPublisher(client, sampleQuery());
  Sink<ChatResult> first, second;
  auto a = publisher.subscribe(first.value(), first.completion());
  ASSERT_TRUE(first.waitForCompletion());
  auto b = publisher.subscribe(second.value(), second.completion());
  for (auto* sink : {&first, &second}) {
    EXPECT_TRUE(sink->values().empty());
    ASSERT_EQ(sink->completions().size(), 1u);
    EXPECT_TRUE(errorAs<APIErrorResponse>(sink->completions()[0]));
  }
  EXPECT_EQ(server.requestCount(), 1u);
}

TEST(PublisherEndpoints, AStreamPublishesFailedEventsAsValuesAndMissesNothingAtTheStart) {
  const std::string body =
      event(chunkJson("a")) + event("not json") + event(chunkJson("b")) + "data: [DONE]\n\n";
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed({{body}}));
  AIClient client(configurationFor(server));
  const auto publisher = chatsStreamPublisher(client, sampleQuery());
  // The answer may well be complete before anyone subscribes.
  ASSERT_TRUE(server.waitForStreamEnd(0));
  Sink<Result<ChatStreamResult>> sink;
  auto subscription = publisher.subscribe(sink.value(), sink.completion());
  ASSERT_TRUE(sink.waitForCompletion());
  const auto values = sink.values();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0]->choices[0].delta.content, "a");
  EXPECT_FALSE(values[1]);
  EXPECT_EQ(values[2]->choices[0].delta.content, "b");
  EXPECT_EQ(sink.completions(), std::vector<ErrorPtr>{nullptr});
}

TEST(PublisherEndpoints, AStreamWhoseTransferFailsPublishesWhatCameThenFails) {
  HttpServer server;
  server.route("POST", "/v1/chat/completions",
               ScriptedResponse::drop(event(chunkJson("a")) + event(chunkJson("b")) + "data: {"));
  AIClient client(configurationFor(server));
  Sink<Result<ChatStreamResult>> sink;
  auto subscription =
      chatsStreamPublisher(client, sampleQuery()).subscribe(sink.value(), sink.completion());
  ASSERT_TRUE(sink.waitForCompletion());
  const auto values = sink.values();
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0]->choices[0].delta.content, "a");
  EXPECT_EQ(values[1]->choices[0].delta.content, "b");
  const auto completions = sink.completions();
  ASSERT_EQ(completions.size(), 1u);
  const auto lost = errorAs<platform::UrlError>(completions[0]);
  ASSERT_TRUE(lost) << describe(completions[0]);
  EXPECT_EQ(lost->code(), platform::UrlError::Code::connectionLost);
}

TEST(PublisherEndpoints, AStreamNobodyListensToAnyMoreIsCancelled) {
  std::vector<Piece> pieces;
  for (int i = 0; i < 400; ++i) pieces.push_back({event(chunkJson("x", i)), 5ms});
  HttpServer server;
  server.route("POST", "/v1/chat/completions", ScriptedResponse::streamed(pieces));
  AIClient client(configurationFor(server));
  Sink<Result<ChatStreamResult>> sink;
  {
    auto subscription =
        chatsStreamPublisher(client, sampleQuery()).subscribe(sink.value(), sink.completion());
    ASSERT_TRUE(sink.waitForValues(2));
  }
  const auto end = server.waitForStreamEnd(0);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->outcome, StreamEnd::Outcome::closedByClient);
  EXPECT_TRUE(sink.completions().empty());
  EXPECT_EQ(client.streamingSessions().count(), 0u);
}

}  // namespace
}  // namespace tessra::aiclient
