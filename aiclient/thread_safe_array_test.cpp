#include "aiclient/thread_safe_array.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tessra::aiclient {
namespace {

TEST(ArrayWithThreadSafety, RemovesEveryMatchAndKeepsTheOrderOfTheRest) {
  ArrayWithThreadSafety<std::string> array;
  for (const char* element : {"A", "B", "A", "C"}) array.append(element);
  array.removeAll([](const std::string& element) { return element == "A"; });
  EXPECT_EQ(array.snapshot(), (std::vector<std::string>{"B", "C"}));

  array.removeAll([](const std::string& element) { return element == "Z"; });
  EXPECT_EQ(array.snapshot(), (std::vector<std::string>{"B", "C"}));
}

TEST(ArrayWithThreadSafety, APredicateThatThrowsLeavesTheListAsItWas) {
  ArrayWithThreadSafety<int> array;
  for (int i = 0; i < 4; ++i) array.append(i);
  EXPECT_THROW(array.removeAll([](int element) -> bool {
    if (element == 2) throw std::runtime_error("no");
    return true;
  }),
               std::runtime_error);
  EXPECT_EQ(array.snapshot(), (std::vector<int>{0, 1, 2, 3}));
}

TEST(ArrayWithThreadSafety, AppendsAndRemovalsFromManyThreadsLeaveItEmpty) {
  ArrayWithThreadSafety<std::shared_ptr<int>> array;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&array] {
      for (int i = 0; i < 500; ++i) {
        auto element = std::make_shared<int>(i);
        array.append(element);
        // A removal asked for right after the append always finds its element.
        std::size_t removed = 0;
        array.removeAll([&](const std::shared_ptr<int>& listed) {
          const bool match = listed == element;
          removed += match ? 1 : 0;
          return match;
        });
        ASSERT_EQ(removed, 1u);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(array.count(), 0u);
}

}  // namespace
}  // namespace tessra::aiclient
