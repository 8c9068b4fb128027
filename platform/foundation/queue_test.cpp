#include "platform/foundation/queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "testing/counter.h"

namespace tessra::platform {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 10s;

using testing::Counter;

// Waits until a job handed to `queue` after `delay` has run: everything the scheduler had due
// earlier for that queue has been handed over by then.
void waitPast(Queue& queue, std::chrono::milliseconds delay) {
  Counter marker;
  queue.asyncAfter(delay, [&] { marker.add(); });
  ASSERT_TRUE(marker.waitForAtLeast(1));
}

// --- SerialQueue ---------------------------------------------------------------------------------

TEST(SerialQueueTest, RunsJobsFromManyThreadsOneAtATimeInEachThreadsOrder) {
  SerialQueue queue("org.tessra.test.order");
  constexpr int kThreads = 8;
  constexpr int kJobsPerThread = 2000;
  std::vector<std::vector<int>> seen(kThreads);  // touched only by the queue's jobs
  std::atomic<int> running{0};
  std::atomic<int> overlaps{0};

  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kJobsPerThread; ++i) {
        queue.async([&, t, i] {
          if (running.fetch_add(1) != 0) overlaps.fetch_add(1);
          seen[t].push_back(i);
          running.fetch_sub(1);
        });
      }
    });
  }
  for (std::thread& poster : posters) poster.join();
  queue.sync([] {});

  EXPECT_EQ(overlaps.load(), 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kJobsPerThread)) << "thread " << t;
    for (int i = 0; i < kJobsPerThread; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
  }
}

TEST(SerialQueueTest, SyncWaitsForTheJobAndPassesItsExceptionOn) {
  SerialQueue queue("org.tessra.test.sync");
  std::thread::id ranOn;
  queue.sync([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_NE(ranOn, std::this_thread::get_id());

  EXPECT_THROW(queue.sync([] { throw std::runtime_error("inside"); }), std::runtime_error);
  int after = 0;
  queue.sync([&] { after = 1; });
  EXPECT_EQ(after, 1);
}

TEST(SerialQueueTest, SyncFromItsOwnJobRunsInPlace) {
  SerialQueue queue("org.tessra.test.reentrant");
  std::vector<std::string> steps;
  queue.sync([&] {
    steps.push_back("outer");
    queue.sync([&] { steps.push_back("inner"); });
    steps.push_back("after inner");
  });
  EXPECT_EQ(steps, (std::vector<std::string>{"outer", "inner", "after inner"}));
}

TEST(SerialQueueTest, IsCurrentOnlyInsideItsOwnJobs) {
  SerialQueue first("org.tessra.test.first");
  SerialQueue second("org.tessra.test.second");
  bool firstInFirst = false;
  bool secondInFirst = true;
  first.sync([&] {
    firstInFirst = first.isCurrent();
    secondInFirst = second.isCurrent();
  });
  EXPECT_TRUE(firstInFirst);
  EXPECT_FALSE(secondInFirst);
  EXPECT_FALSE(first.isCurrent());
  EXPECT_EQ(first.label(), "org.tessra.test.first");
}

TEST(SerialQueueTest, AThrowingJobDoesNotStopTheQueue) {
  SerialQueue queue("org.tessra.test.throwing");
  Counter ran;
  queue.async([] { throw std::runtime_error("bad job"); });
  queue.async([&] { ran.add(); });
  EXPECT_TRUE(ran.waitForAtLeast(1));
}

TEST(SerialQueueTest, DestructionWaitsForTheRunningJob) {
  for (int round = 0; round < 50; ++round) {
    auto queue = std::make_unique<SerialQueue>("org.tessra.test.teardown");
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    Counter started;
    queue->async([&] {
      started.add();
      while (!release.load()) std::this_thread::yield();
      finished.store(true);
    });
    ASSERT_TRUE(started.waitForAtLeast(1));
    std::thread releaser([&] { release.store(true); });
    queue.reset();
    EXPECT_TRUE(finished.load()) << "round " << round;
    releaser.join();
  }
}

TEST(SerialQueueTest, AJobMayDestroyItsOwnQueueAndTheRestIsDropped) {
  auto queue = std::make_unique<SerialQueue>("org.tessra.test.selfdestroy");
  Counter destroyed;
  std::atomic<bool> laterRan{false};
  auto witness = std::make_shared<int>(0);
  std::weak_ptr<int> laterJobAlive = witness;

  std::mutex gate;
  std::unique_lock hold(gate);  // keeps the first job from running before the second is queued
  queue->async([&] {
    { std::lock_guard wait(gate); }
    queue.reset();
    destroyed.add();
  });
  queue->async([&laterRan, witness = std::move(witness)] { laterRan.store(true); });
  hold.unlock();

  ASSERT_TRUE(destroyed.waitForAtLeast(1));
  EXPECT_FALSE(laterRan.load());
  EXPECT_TRUE(laterJobAlive.expired());
}

// --- MainQueue -----------------------------------------------------------------------------------

TEST(MainQueueTest, JobsWaitForDrainAndRunInOrderOnTheDrainingThread) {
  MainQueue queue;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      queue.async([&, i] {
        order.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    }
  });
  poster.join();
  EXPECT_TRUE(order.empty());

  EXPECT_EQ(queue.drain(), 100u);
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
  for (const auto& id : threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(queue.drain(), 0u);
}

TEST(MainQueueTest, JobsPostedByDrainedJobsWaitForTheNextDrain) {
  MainQueue queue;
  int second = 0;
  queue.async([&] { queue.async([&] { second = 1; }); });
  EXPECT_EQ(queue.drain(), 1u);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(queue.drain(), 1u);
  EXPECT_EQ(second, 1);
}

TEST(MainQueueTest, DrainForWaitsForAJobFromAnotherThread) {
  MainQueue queue;
  bool ran = false;
  std::thread poster([&] { queue.async([&] { ran = true; }); });
  std::size_t count = 0;
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (count == 0 && std::chrono::steady_clock::now() < deadline) count = queue.drainFor(1s);
  poster.join();
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(ran);
  EXPECT_EQ(queue.drainFor(1ms), 0u);
}

TEST(MainQueueTest, PosterTakesOverWaitingJobsBeforeLaterOnes) {
  for (int round = 0; round < 20; ++round) {
    MainQueue queue;
    std::mutex mutex;
    std::vector<Job> posted;  // what the poster has handed to the "event loop", in order
    std::vector<int> order;
    for (int i = 0; i < 100; ++i) queue.async([&order, i] { order.push_back(i); });

    std::thread late([&] {
      for (int i = 100; i < 200; ++i) queue.async([&order, i] { order.push_back(i); });
    });
    queue.setPoster([&](Job job) {
      std::lock_guard lock(mutex);
      posted.push_back(std::move(job));
    });
    late.join();

    EXPECT_EQ(queue.drain(), 0u) << "round " << round;
    for (const Job& job : posted) job();
    ASSERT_EQ(order.size(), 200u) << "round " << round;
    for (int i = 0; i < 200; ++i) ASSERT_EQ(order[i], i) << "round " << round;
  }
}

TEST(MainQueueTest, RemovingThePosterMakesJobsWaitAgain) {
  MainQueue queue;
  std::vector<Job> posted;
  queue.setPoster([&](Job job) { posted.push_back(std::move(job)); });
  queue.async([] {});
  EXPECT_EQ(posted.size(), 1u);

  queue.setPoster({});
  int ran = 0;
  queue.async([&] { ran = 1; });
  EXPECT_EQ(posted.size(), 1u);
  EXPECT_EQ(queue.drain(), 1u);
  EXPECT_EQ(ran, 1);
}

TEST(MainQueueTest, AfterShutDownWaitingAndLaterJobsAreDropped) {
  MainQueue queue;
  int ran = 0;
  queue.async([&] { ++ran; });
  queue.shutDown();
  queue.async([&] { ++ran; });
  std::vector<Job> posted;
  queue.setPoster([&](Job job) { posted.push_back(std::move(job)); });
  queue.async([&] { ++ran; });
  EXPECT_EQ(queue.drain(), 0u);
  EXPECT_EQ(ran, 0);
  EXPECT_TRUE(posted.empty());
}

// A worker that keeps posting to the shared main queue while the process exits, as a keyring
// worker finishing a save at quit does. Static destruction is held up after the main queue's
// turn until the worker has gone round twice more, so each of its posts meets a queue that
// static destruction has already reached.
std::atomic<int> g_rounds = 0;

struct HoldExitForTheWorker {
  ~HoldExitForTheWorker() {
    const int seen = g_rounds.load();
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (g_rounds.load() < seen + 2 && std::chrono::steady_clock::now() < deadline) {
    }
  }
};

TEST(MainQueueDeathTest, AWorkerPostingWhileTheProcessExitsHasItsJobsDropped) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // Made before the main queue, so destroyed after it.
        static HoldExitForTheWorker hold;
        mainQueue();
        std::thread([] {
          for (;;) {
            mainQueue().async([] {});
            mainQueue().drain();
            ++g_rounds;
          }
        }).detach();
        while (g_rounds.load() == 0) {
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// --- Global queue --------------------------------------------------------------------------------

// A job blocked for good (a request whose peer never answers) must not hold the process when it
// exits: the exit goes on without the job, well before the watchdog's deadline.
TEST(GlobalQueueDeathTest, AnExitDoesNotWaitForAJobBlockedForGood) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        auto* never = new std::promise<void>;
        std::atomic<bool> started = false;
        globalQueue().async([&started, blocked = never->get_future().share()] {
          started = true;
          blocked.wait();
        });
        while (!started) {
        }
        std::thread([] {
          std::this_thread::sleep_for(kDeadline);
          std::_Exit(3);
        }).detach();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(GlobalQueueTest, RunsAtLeastTwoJobsAtOnce) {
  // Two jobs that each wait for the other can only both finish on two threads.
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  Counter finished;
  for (int i = 0; i < 2; ++i) {
    globalQueue().async([&] {
      std::unique_lock lock(mutex);
      ++arrived;
      changed.notify_all();
      const bool bothArrived = changed.wait_for(lock, kDeadline, [&] { return arrived == 2; });
      // Let go first: the count lets the test end, which destroys the mutex.
      lock.unlock();
      if (bothArrived) finished.add();
    });
  }
  EXPECT_TRUE(finished.waitForAtLeast(2));
}

TEST(GlobalQueueTest, RunsEveryJobPostedFromManyThreads) {
  Counter ran;
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) globalQueue().async([&] { ran.add(); });
    });
  }
  for (std::thread& poster : posters) poster.join();
  EXPECT_TRUE(ran.waitForAtLeast(4000));
}

// --- asyncAfter ----------------------------------------------------------------------------------

TEST(AsyncAfterTest, RunsOnTheQueueNoEarlierThanTheDelay) {
  SerialQueue queue("org.tessra.test.after");
  Counter ran;
  bool onQueue = false;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point ranAt;
  queue.asyncAfter(30ms, [&] {
    onQueue = queue.isCurrent();
    ranAt = std::chrono::steady_clock::now();
    ran.add();
  });
  ASSERT_TRUE(ran.waitForAtLeast(1));
  queue.sync([] {});
  EXPECT_TRUE(onQueue);
  EXPECT_GE(ranAt - start, 30ms);
}

TEST(AsyncAfterTest, DelayedJobsRunInDueOrder) {
  // A job falls due `delay` after the moment inside `asyncAfter` that reads the clock. A loaded
  // machine may stall this thread between two calls for longer than the delays differ, so each
  // due time is bracketed by clock readings around its call, and two jobs are held to an order
  // only when their brackets do not overlap (on a quiet machine, every pair).
  using Clock = std::chrono::steady_clock;
  struct Scheduled {
    int delay;
    Clock::time_point earliestDue;
    Clock::time_point latestDue;
  };
  SerialQueue queue("org.tessra.test.dueorder");
  std::vector<Scheduled> scheduled;
  std::vector<int> order;  // written only by the queue's jobs
  Counter ran;
  for (int delay : {40, 10, 30, 20}) {
    const auto wait = std::chrono::milliseconds(delay);
    const auto before = Clock::now();
    queue.asyncAfter(wait, [&, delay] {
      order.push_back(delay);
      ran.add();
    });
    scheduled.push_back({delay, before + wait, Clock::now() + wait});
  }
  ASSERT_TRUE(ran.waitForAtLeast(4));
  queue.sync([] {});

  ASSERT_EQ(order.size(), scheduled.size());
  const auto position = [&](int delay) { return std::find(order.begin(), order.end(), delay); };
  for (const Scheduled& first : scheduled) {
    for (const Scheduled& second : scheduled) {
      if (first.latestDue < second.earliestDue) {
        EXPECT_LT(position(first.delay), position(second.delay))
            << first.delay << " ms was due before " << second.delay << " ms";
      }
    }
  }
}

TEST(AsyncAfterTest, AJobForAQueueDestroyedFirstIsDropped) {
  std::atomic<bool> ran{false};
  {
    SerialQueue queue("org.tessra.test.gone");
    queue.asyncAfter(20ms, [&] { ran.store(true); });
  }
  SerialQueue other("org.tessra.test.marker");
  waitPast(other, 60ms);
  EXPECT_FALSE(ran.load());
}

// --- Timer ---------------------------------------------------------------------------------------

TEST(TimerTest, OneShotFiresOnceOnItsQueue) {
  SerialQueue queue("org.tessra.test.oneshot");
  Counter fired;
  bool onQueue = false;
  Timer timer(queue, 10ms, false, [&] {
    onQueue = queue.isCurrent();
    fired.add();
  });
  ASSERT_TRUE(fired.waitForAtLeast(1));
  waitPast(queue, 50ms);
  EXPECT_EQ(fired.value(), 1);
  EXPECT_TRUE(onQueue);
  EXPECT_TRUE(timer.isCancelled());
}

TEST(TimerTest, RepeatingFiresUntilCancelledOnItsOwnQueue) {
  SerialQueue queue("org.tessra.test.repeat");
  Counter fired;
  Timer timer(queue, 2ms, true, [&] { fired.add(); });
  ASSERT_TRUE(fired.waitForAtLeast(3));
  EXPECT_FALSE(timer.isCancelled());

  int atCancel = -1;
  queue.sync([&] {
    timer.cancel();
    atCancel = fired.value();
  });
  waitPast(queue, 30ms);
  queue.sync([] {});
  EXPECT_EQ(fired.value(), atCancel);
  EXPECT_TRUE(timer.isCancelled());
}

TEST(TimerTest, NoHandlerRunsOnceCancelFromAnotherThreadReturns) {
  for (int round = 0; round < 50; ++round) {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    Counter started;
    Counter fired;
    auto timer = std::make_unique<Timer>(globalQueue(), 1ms, true, [&] {
      inside.store(true);
      started.add();
      while (!release.load()) std::this_thread::yield();
      fired.add();
      inside.store(false);
    });
    // Cancel while a firing runs; the firing ends only when the releaser thread gets to run.
    ASSERT_TRUE(started.waitForAtLeast(1));
    std::thread releaser([&] { release.store(true); });
    timer->cancel();
    EXPECT_FALSE(inside.load()) << "round " << round;
    const int atCancel = fired.value();
    timer.reset();
    waitPast(globalQueue(), 3ms);
    EXPECT_EQ(fired.value(), atCancel) << "round " << round;
    releaser.join();
  }
}

TEST(TimerTest, DestroyingTheTimerWhileItFiresIsSafeForWhatTheHandlerUses) {
  std::atomic<int> violations{0};
  for (int round = 0; round < 50; ++round) {
    auto owner = std::make_shared<std::atomic<bool>>(true);
    std::atomic<bool>* alive = owner.get();
    std::atomic<bool> release{false};
    Counter started;
    auto timer = std::make_unique<Timer>(globalQueue(), 1ms, true, [&, alive] {
      started.add();
      while (!release.load()) std::this_thread::yield();
      if (!alive->load()) violations.fetch_add(1);
    });
    ASSERT_TRUE(started.waitForAtLeast(1));
    std::thread releaser([&] { release.store(true); });
    timer.reset();
    alive->store(false);
    releaser.join();
    waitPast(globalQueue(), 3ms);
  }
  EXPECT_EQ(violations.load(), 0);
}

TEST(TimerTest, CancelFromItsOwnHandlerStopsIt) {
  SerialQueue queue("org.tessra.test.selfcancel");
  Counter fired;
  std::unique_ptr<Timer> timer;
  queue.sync([&] {
    timer = std::make_unique<Timer>(queue, 1ms, true, [&] {
      fired.add();
      timer->cancel();
    });
  });
  ASSERT_TRUE(fired.waitForAtLeast(1));
  waitPast(queue, 20ms);
  EXPECT_EQ(fired.value(), 1);
}

TEST(TimerTest, ATimerWhoseQueueIsGoneNeverFires) {
  std::atomic<bool> fired{false};
  std::unique_ptr<Timer> timer;
  {
    SerialQueue queue("org.tessra.test.queuegone");
    timer = std::make_unique<Timer>(queue, 10ms, true, [&] { fired.store(true); });
  }
  SerialQueue other("org.tessra.test.marker");
  waitPast(other, 40ms);
  EXPECT_FALSE(fired.load());
  EXPECT_TRUE(timer->isCancelled());
}

TEST(TimerTest, FiresOnTheMainQueueWhenDrained) {
  MainQueue queue;
  int fired = 0;
  Timer timer(queue, 5ms, false, [&] { ++fired; });
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (fired == 0 && std::chrono::steady_clock::now() < deadline) queue.drainFor(1s);
  EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace tessra::platform
