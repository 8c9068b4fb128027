#include "testing/process_tree.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>

namespace tessra::testing {
namespace {

using namespace std::chrono_literals;

// A child that uses `busy` of CPU under a name /proc writes with blanks and parentheses, then
// waits to be ended.
pid_t busyChild(std::chrono::milliseconds busy) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_NAME, "a (b) c", 0, 0, 0);
  // A forked child's processor time starts at zero.
  while (std::clock() * 1000 / CLOCKS_PER_SEC < busy.count()) {
  }
  ::pause();
  ::_exit(0);
}

TEST(ProcessTreeTest, CountsEveryProcessBelowTheRootAndWhatEndedChildrenUsed) {
  const ProcessTree tree(::getpid());
  const double before = tree.cpuSeconds();
  const pid_t child = busyChild(300ms);
  ASSERT_GT(child, 0);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (tree.cpuSecondsByRole()["a (b) c"] < 0.25 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);

  const auto processes = tree.processes();
  EXPECT_EQ(processes.front(), ::getpid());
  EXPECT_EQ(std::ranges::count(processes, child), 1);
  EXPECT_GE(tree.cpuSecondsByRole()["a (b) c"], 0.25);
  const TreeMemory memory = tree.memory();
  EXPECT_EQ(memory.processes, static_cast<int>(processes.size()));
  EXPECT_GT(memory.pssBytes, 0u);
  EXPECT_GT(memory.anonymousBytes, 0u);

  // Ended and reaped, the child's time stays in the tree's.
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(std::ranges::count(tree.processes(), child), 0);
  EXPECT_GE(tree.cpuSeconds() - before, 0.25);
}

TEST(ProcessTreeTest, IdleIsTheCpuUntilTheTreeRests) {
  const pid_t child = busyChild(400ms);
  ASSERT_GT(child, 0);
  // The tree of the child alone: the watching itself costs this process CPU.
  const ProcessTree tree(child);
  const auto used = tree.cpuUntilIdle(20s, 500ms);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(used.has_value());
  EXPECT_GE(*used, 0.3);
  EXPECT_LT(*used, 2.0);
}

}  // namespace
}  // namespace tessra::testing
