#include "platform/foundation/notification_center.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tessra::platform {
namespace {

using namespace std::chrono_literals;
using Token = NotificationCenter::ObserverToken;

TEST(NotificationCenterTest, CallsTheObserversOfTheNameInOrderWithThePayload) {
  NotificationCenter center;
  std::vector<std::string> calls;
  nlohmann::json seenPayload;
  std::thread::id seenThread;
  Token first = center.addObserver("focusOnPromptInput", [&](const Notification& n) {
    calls.push_back("first " + n.name);
    seenPayload = n.payload;
    seenThread = std::this_thread::get_id();
  });
  Token second = center.addObserver("focusOnPromptInput",
                                    [&](const Notification&) { calls.push_back("second"); });
  Token other =
      center.addObserver("appLanguageChanged", [&](const Notification&) { calls.push_back("x"); });

  center.post("focusOnPromptInput", {{"conversationId", "A1"}});
  EXPECT_EQ(calls, (std::vector<std::string>{"first focusOnPromptInput", "second"}));
  EXPECT_EQ(seenPayload, (nlohmann::json{{"conversationId", "A1"}}));
  EXPECT_EQ(seenThread, std::this_thread::get_id());

  center.post("focusOnPromptInput");
  EXPECT_EQ(seenPayload, nlohmann::json::object());
  center.post("nobodyListens");
  EXPECT_EQ(calls.size(), 4u);
}

TEST(NotificationCenterTest, AnObjectTravelsBesideThePayloadAsItself) {
  NotificationCenter center;
  const auto shared = std::make_shared<const std::string>("image bytes");
  std::shared_ptr<const std::string> seen;
  Token token = center.addObserver("focusOnPromptInput", [&](const Notification& n) {
    seen = std::any_cast<std::shared_ptr<const std::string>>(n.object);
  });
  center.post("focusOnPromptInput", nlohmann::json::object(), shared);
  EXPECT_EQ(seen.get(), shared.get());
}

TEST(NotificationCenterTest, TheTokenDecidesHowLongTheObserverStays) {
  NotificationCenter center;
  int calls = 0;
  const auto observe = [&] {
    return center.addObserver("menuBarVisibilityChanged", [&](const Notification&) { ++calls; });
  };
  struct Case {
    std::string name;
    std::function<void()> act;
    int expectedCalls;
  };
  const std::vector<Case> cases = {
      {"destroyed token", [&] { (void)observe(); }, 0},
      {"moved token keeps it",
       [&] {
         Token moved = observe();
         Token kept = std::move(moved);
         EXPECT_FALSE(moved.isActive());
         center.post("menuBarVisibilityChanged");
       },
       1},
      {"remove() stops it",
       [&] {
         Token token = observe();
         token.remove();
         EXPECT_FALSE(token.isActive());
         center.post("menuBarVisibilityChanged");
       },
       0},
      {"assigning over a token removes the old observer",
       [&] {
         Token token = observe();
         token = Token();
         center.post("menuBarVisibilityChanged");
       },
       0},
  };
  for (const Case& c : cases) {
    calls = 0;
    c.act();
    center.post("menuBarVisibilityChanged");
    EXPECT_EQ(calls, c.expectedCalls) << c.name;
  }
}

TEST(NotificationCenterTest, ObserversMayChangeTheObserversWhileCalled) {
  NotificationCenter center;
  std::vector<std::string> calls;
  Token second;
  Token added;
  Token self;
  Token first = center.addObserver("x", [&](const Notification&) {
    calls.push_back("first");
    second.remove();
    if (!added.isActive()) {
      added = center.addObserver("x", [&](const Notification&) { calls.push_back("added"); });
    }
  });
  second = center.addObserver("x", [&](const Notification&) { calls.push_back("second"); });
  self = center.addObserver("x", [&](const Notification&) {
    calls.push_back("self");
    self.remove();
  });

  center.post("x");
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "self"}));
  calls.clear();
  center.post("x");
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "added"}));
}

TEST(NotificationCenterTest, AnObserverMayPostAgain) {
  NotificationCenter center;
  std::vector<int> depths;
  int depth = 0;
  Token token = center.addObserver("x", [&](const Notification& n) {
    depths.push_back(n.payload.value("depth", -1));
    if (++depth < 3) center.post("x", {{"depth", depth}});
  });
  center.post("x", {{"depth", 0}});
  EXPECT_EQ(depths, (std::vector<int>{0, 1, 2}));
}

TEST(NotificationCenterTest, AThrowingObserverReachesThePosterAndCanStillBeRemoved) {
  NotificationCenter center;
  bool laterCalled = false;
  Token thrower =
      center.addObserver("x", [](const Notification&) { throw std::runtime_error("bad"); });
  Token later = center.addObserver("x", [&](const Notification&) { laterCalled = true; });
  EXPECT_THROW(center.post("x"), std::runtime_error);
  EXPECT_FALSE(laterCalled);
  std::thread remover([&] { thrower.remove(); });  // would wait forever on stale bookkeeping
  remover.join();
  center.post("x");
  EXPECT_TRUE(laterCalled);
}

TEST(NotificationCenterTest, RemovalWaitsForACallRunningOnAnotherThread) {
  for (int round = 0; round < 50; ++round) {
    NotificationCenter center;
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    Token token = center.addObserver("x", [&](const Notification&) {
      {
        std::lock_guard lock(mutex);
        started = true;
        changed.notify_all();
      }
      while (!release.load()) std::this_thread::yield();
      finished.store(true);
    });
    std::thread poster([&] { center.post("x"); });
    {
      std::unique_lock lock(mutex);
      ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return started; }));
    }
    std::thread releaser([&] { release.store(true); });
    token.remove();
    EXPECT_TRUE(finished.load()) << "round " << round;
    releaser.join();
    poster.join();
  }
}

TEST(NotificationCenterTest, PostsAndRegistrationsFromManyThreads) {
  NotificationCenter center;
  std::atomic<int> steadyCalls{0};
  Token steady = center.addObserver("x", [&](const Notification&) { steadyCalls.fetch_add(1); });
  std::atomic<bool> stop{false};
  std::vector<std::thread> churners;
  for (int t = 0; t < 2; ++t) {
    churners.emplace_back([&] {
      while (!stop.load()) {
        auto flag = std::make_shared<std::atomic<int>>(0);
        Token token = center.addObserver("x", [flag](const Notification&) { flag->fetch_add(1); });
      }
    });
  }
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) center.post("x", {{"i", i}});
    });
  }
  for (std::thread& poster : posters) poster.join();
  stop.store(true);
  for (std::thread& churner : churners) churner.join();
  EXPECT_EQ(steadyCalls.load(), 4000);
}

TEST(NotificationCenterTest, ATokenMayOutliveItsCenter) {
  Token token;
  {
    NotificationCenter center;
    token = center.addObserver("x", [](const Notification&) {});
  }
  token.remove();
  EXPECT_FALSE(token.isActive());
}

}  // namespace
}  // namespace tessra::platform
