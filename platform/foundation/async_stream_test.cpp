#include "platform/foundation/async_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/queue.h"
#include "testing/counter.h"

namespace tessra::platform {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 10s;

using testing::Counter;

// Everything a blocking consumer saw: the elements, then how the stream ended.
struct Drained {
  std::vector<int> elements;
  std::string error;  // "" for a normal end
};

Drained drain(AsyncStream<int>& stream) {
  Drained result;
  try {
    while (auto value = stream.next()) result.elements.push_back(*value);
  } catch (const std::exception& error) {
    result.error = error.what();
  }
  return result;
}

TEST(AsyncStreamTest, BlockingConsumerGetsEveryElementOfAProducerThreadInOrder) {
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  constexpr int kCount = 20000;
  std::thread producer([continuation] {
    for (int i = 0; i < kCount; ++i) continuation.yield(i);
    continuation.finish();
  });
  const Drained drained = drain(stream);
  producer.join();

  EXPECT_EQ(drained.error, "");
  ASSERT_EQ(drained.elements.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(drained.elements[i], i);
  EXPECT_EQ(stream.next(), std::nullopt);
}

TEST(AsyncStreamTest, TheEndComesAfterTheBufferedElementsAndTheErrorIsRaisedOnce) {
  struct Case {
    std::string name;
    std::function<void(const AsyncStream<int>::Continuation&)> end;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"normal finish", [](const auto& c) { c.finish(); }, ""},
      {"finish with an error",
       [](const auto& c) { c.finish(std::make_exception_ptr(TextError("Invalid response"))); },
       "Invalid response"},
      {"second finish is ignored",
       [](const auto& c) {
         c.finish(std::make_exception_ptr(TextError("first")));
         c.finish(std::make_exception_ptr(TextError("second")));
       },
       "first"},
  };
  for (const Case& c : cases) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    continuation.yield(1);
    continuation.yield(2);
    c.end(continuation);
    EXPECT_FALSE(continuation.yield(3)) << c.name;

    const Drained drained = drain(stream);
    EXPECT_EQ(drained.elements, (std::vector<int>{1, 2})) << c.name;
    EXPECT_EQ(drained.error, c.error) << c.name;
    EXPECT_EQ(stream.next(), std::nullopt) << c.name;
  }
}

TEST(AsyncStreamTest, TheErrorKeepsItsType) {
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  continuation.finish(std::make_exception_ptr(TextError("boom")));
  EXPECT_THROW(stream.next(), TextError);
}

TEST(AsyncStreamTest, AProducerThatGoesAwayWithoutFinishingEndsTheStreamWithAnError) {
  auto made = AsyncStream<int>::makeStream();
  AsyncStream<int> stream = std::move(made.stream);
  std::thread producer([continuation = std::move(made.continuation)] { continuation.yield(7); });
  producer.join();

  const Drained drained = drain(stream);
  EXPECT_EQ(drained.elements, std::vector<int>{7});
  EXPECT_EQ(drained.error, "The stream ended before its producer finished it.");
}

TEST(AsyncStreamTest, CancelStopsTheProducerAndTellsItOnce) {
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  std::atomic<int> terminations{0};
  std::atomic<bool> toldCancelled{false};
  continuation.setOnTermination([&](StreamTermination how) {
    terminations.fetch_add(1);
    toldCancelled.store(how == StreamTermination::cancelled);
  });
  std::atomic<int> produced{0};
  std::thread producer([&, continuation] {
    while (continuation.yield(produced.load())) produced.fetch_add(1);
    continuation.finish();
  });

  for (int i = 0; i < 5; ++i) ASSERT_EQ(stream.next(), i);
  stream.cancel();
  producer.join();

  EXPECT_TRUE(continuation.isCancelled());
  EXPECT_EQ(terminations.load(), 1);
  EXPECT_TRUE(toldCancelled.load());
  EXPECT_EQ(stream.next(), std::nullopt);
  stream.cancel();
  EXPECT_EQ(terminations.load(), 1);
}

TEST(AsyncStreamTest, CancelWakesAConsumerWaitingForTheNextElement) {
  auto made = AsyncStream<int>::makeStream();
  AsyncStream<int> stream = std::move(made.stream);
  std::optional<int> seen = 0;
  std::thread consumer([&] { seen = stream.next(); });
  // The consumer may or may not be waiting yet; either way it must come back with the end.
  stream.cancel();
  consumer.join();
  EXPECT_EQ(seen, std::nullopt);
}

TEST(AsyncStreamTest, ReleasingTheConsumerCancelsTheStream) {
  auto made = AsyncStream<int>::makeStream();
  std::optional<StreamTermination> told;
  made.continuation.setOnTermination([&](StreamTermination how) { told = how; });
  made.continuation.yield(1);
  { AsyncStream<int> released = std::move(made.stream); }
  EXPECT_TRUE(made.continuation.isCancelled());
  EXPECT_EQ(told, StreamTermination::cancelled);
  EXPECT_FALSE(made.continuation.yield(2));
}

TEST(AsyncStreamTest, TerminationHandlerRunsOnceAtTheFinishAndAtOnceWhenSetLate) {
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  std::vector<StreamTermination> told;
  continuation.setOnTermination([&](StreamTermination how) { told.push_back(how); });
  continuation.finish();
  stream.cancel();
  continuation.finish();
  EXPECT_EQ(told, std::vector<StreamTermination>{StreamTermination::finished});

  std::vector<StreamTermination> late;
  continuation.setOnTermination([&](StreamTermination how) { late.push_back(how); });
  EXPECT_EQ(late, std::vector<StreamTermination>{StreamTermination::finished});
}

TEST(AsyncStreamTest, WaitForNextTellsWhetherNextWouldBlock) {
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  EXPECT_FALSE(stream.waitForNext(5ms));
  std::thread producer([continuation] { continuation.yield(4); });
  EXPECT_TRUE(stream.waitForNext(kDeadline));
  producer.join();
  EXPECT_EQ(stream.next(), 4);
  continuation.finish();
  EXPECT_TRUE(stream.waitForNext(0ms));
  EXPECT_EQ(stream.next(), std::nullopt);
}

TEST(AsyncStreamTest, CarriesMoveOnlyElements) {
  auto [stream, continuation] = AsyncStream<std::unique_ptr<int>>::makeStream();
  continuation.yield(std::make_unique<int>(42));
  continuation.finish();
  auto value = stream.next();
  ASSERT_TRUE(value && *value);
  EXPECT_EQ(**value, 42);
}

// --- forEach -------------------------------------------------------------------------------------

TEST(AsyncStreamForEachTest, DeliversInOrderOnTheQueueThenTheEnd) {
  struct Case {
    std::string name;
    Queue* queue;
  };
  SerialQueue serial("org.tessra.test.stream");
  for (const Case& c : {Case{"serial queue", &serial}, Case{"global queue", &globalQueue()}}) {
    auto [stream, continuation] = AsyncStream<int>::makeStream();
    std::vector<int> seen;  // written only by deliveries, which never overlap
    std::atomic<int> running{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> onSerial{true};
    std::string error = "not called";
    Counter finished;
    stream.forEach(
        *c.queue,
        [&](int value) {
          if (running.fetch_add(1) != 0) overlaps.fetch_add(1);
          if (c.queue == &serial && !serial.isCurrent()) onSerial.store(false);
          seen.push_back(value);
          running.fetch_sub(1);
        },
        [&](ErrorPtr e) {
          error = e ? describe(e) : "";
          finished.add();
        });
    std::thread producer([continuation] {
      for (int i = 0; i < 5000; ++i) continuation.yield(i);
      continuation.finish(std::make_exception_ptr(TextError("late failure")));
    });
    producer.join();
    ASSERT_TRUE(finished.waitForAtLeast(1)) << c.name;

    EXPECT_EQ(error, "late failure") << c.name;
    EXPECT_EQ(overlaps.load(), 0) << c.name;
    EXPECT_TRUE(onSerial.load()) << c.name;
    ASSERT_EQ(seen.size(), 5000u) << c.name;
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(seen[i], i) << c.name;
  }
}

TEST(AsyncStreamForEachTest, DeliversWhatWasBufferedBeforeItStarted) {
  MainQueue queue;
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  continuation.yield(1);
  continuation.yield(2);
  continuation.finish();
  std::vector<int> seen;
  bool ended = false;
  stream.forEach(
      queue, [&](int v) { seen.push_back(v); }, [&](ErrorPtr e) { ended = !e; });
  EXPECT_TRUE(seen.empty());
  while (queue.drain() > 0) {
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_TRUE(ended);
}

TEST(AsyncStreamForEachTest, EachElementIsAJobOfItsOwnSoOtherJobsTakeTheirTurn) {
  MainQueue queue;
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  for (int i = 1; i <= 3; ++i) continuation.yield(i);
  continuation.finish();
  std::vector<std::string> ran;
  stream.forEach(
      queue, [&](int v) { ran.push_back(std::to_string(v)); },
      [&](ErrorPtr) { ran.push_back("end"); });
  // A click that comes while the stream is far ahead of its consumer.
  queue.async([&] { ran.push_back("click"); });
  while (queue.drain() > 0) {
  }
  EXPECT_EQ(ran, (std::vector<std::string>{"1", "click", "2", "3", "end"}));
}

TEST(AsyncStreamTest, AMergeFoldsWhatTheConsumerHasNotTakenYet) {
  // Lower-case letters grow the waiting element; anything else stands alone.
  auto [stream, continuation] =
      AsyncStream<std::string>::makeStream([](std::string& waiting, const std::string& next) {
        const auto growth = [](const std::string& text) {
          return std::ranges::all_of(text, [](char c) { return c >= 'a' && c <= 'z'; });
        };
        if (!growth(waiting) || !growth(next)) return false;
        waiting += next;
        return true;
      });
  for (const char* element : {"a", "b", "!", "c", "d"}) continuation.yield(element);
  EXPECT_EQ(stream.next(), "ab");
  EXPECT_EQ(stream.next(), "!");
  continuation.yield("e");
  EXPECT_EQ(stream.next(), "cde");
  // What the consumer took is never changed: the next element starts anew.
  continuation.yield("f");
  continuation.finish();
  EXPECT_EQ(stream.next(), "f");
  EXPECT_EQ(stream.next(), std::nullopt);
}

TEST(AsyncStreamForEachTest, NothingIsDeliveredAfterCancelOnTheDeliveringQueue) {
  MainQueue queue;
  auto made = AsyncStream<int>::makeStream();
  AsyncStream<int> stream = std::move(made.stream);
  for (int i = 0; i < 10; ++i) made.continuation.yield(i);
  std::vector<int> seen;
  bool finishCalled = false;
  stream.forEach(
      queue,
      [&](int v) {
        seen.push_back(v);
        if (v == 3) stream.cancel();
      },
      [&](ErrorPtr) { finishCalled = true; });
  while (queue.drain() > 0) {
  }
  made.continuation.yield(11);
  made.continuation.finish();
  while (queue.drain() > 0) {
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_FALSE(finishCalled);
  EXPECT_TRUE(made.continuation.isCancelled());
}

TEST(AsyncStreamForEachTest, AThrowingHandlerCancelsTheStream) {
  MainQueue queue;
  auto made = AsyncStream<int>::makeStream();
  AsyncStream<int> stream = std::move(made.stream);
  made.continuation.yield(1);
  made.continuation.yield(2);
  std::vector<int> seen;
  stream.forEach(
      queue,
      [&](int v) {
        seen.push_back(v);
        throw std::runtime_error("handler failed");
      },
      [](ErrorPtr) {});
  queue.drain();
  EXPECT_EQ(seen, std::vector<int>{1});
  EXPECT_TRUE(made.continuation.isCancelled());
}

TEST(AsyncStreamForEachTest, NextIsRefusedOnceForEachDelivers) {
  MainQueue queue;
  auto [stream, continuation] = AsyncStream<int>::makeStream();
  stream.forEach(
      queue, [](int) {}, [](ErrorPtr) {});
  EXPECT_THROW(stream.next(), std::logic_error);
  EXPECT_THROW(stream.forEach(
                   queue, [](int) {}, [](ErrorPtr) {}),
               std::logic_error);
}

}  // namespace
}  // namespace tessra::platform
