#include "testing/process_tree.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/foundation/unique_fd.h"

namespace tessra::testing {
namespace {

using namespace std::chrono_literals;

// One turn of a child's work: `busy` of CPU, then `rest` without any.
struct Turn {
  std::chrono::milliseconds busy;
  std::chrono::milliseconds rest = 0ms;
};

// A child that works its turns under a name /proc writes with blanks and parentheses, writes a
// byte to `done` (when given) once it has, then waits to be ended.
pid_t busyChild(std::vector<Turn> turns, int done = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_NAME, "a (b) c", 0, 0, 0);
  // A forked child's processor time starts at zero.
  std::chrono::milliseconds used = 0ms;
  for (const Turn& turn : turns) {
    used += turn.busy;
    while (std::clock() * 1000 / CLOCKS_PER_SEC < used.count()) {
    }
    // The child's pause is the quiet stretch under test, not a wait for anything.
    std::this_thread::sleep_for(turn.rest);
  }
  if (done >= 0 && ::write(done, "", 1) != 1) ::_exit(1);
  ::pause();
  ::_exit(0);
}

// Whether `fd` has something to read now.
bool readable(int fd) {
  pollfd watched{fd, POLLIN, 0};
  return ::poll(&watched, 1, 0) == 1;
}

TEST(ProcessTreeTest, CountsEveryProcessBelowTheRootAndWhatEndedChildrenUsed) {
  const ProcessTree tree(::getpid());
  const double before = tree.cpuSeconds();
  const pid_t child = busyChild({{300ms}});
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

// Work that trickles on below the busy share is counted to the end of the quiet stretch.
TEST(ProcessTreeTest, IdleIsTheCpuUntilTheTreeRestsWithTheQuietStretch) {
  // Below the busy share from the start, so the quiet stretch begins with the watch: cut where it
  // began, the count would be nothing. A loaded machine slows the trickle but never shortens the
  // stretch, and the trickle outlasts it.
  const std::vector<Turn> turns(40, {20ms, 100ms});
  const pid_t child = busyChild(turns);
  ASSERT_GT(child, 0);
  // The tree of the child alone: the watching itself costs this process CPU.
  const ProcessTree tree(child);
  const double before = tree.cpuSeconds();
  const auto used = tree.cpuUntilIdle(20s, 1000ms, 0.3);
  const double after = tree.cpuSeconds();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(used.has_value());
  // Two turns at least, at any load a machine runs tests under.
  EXPECT_GE(*used, 0.04);
  EXPECT_LE(*used, after - before + 0.01);
}

// A quiet stretch in the middle, longer than any watch for rest would wait, is counted through.
TEST(ProcessTreeTest, AWindowCountsWorkWithAQuietStretchWhole) {
  // The window must outlast the work. Little work, as a loaded machine gives the child a small
  // share of a core and stretches it: a twentieth of one, where tests run beside busy loops,
  // makes the turns' fifth of a second four seconds, and the window is far longer than those and
  // the quiet stretch together. A run in which the child still had not finished when the window
  // closed proves nothing, and runs again.
  constexpr auto kWindow = 10s;
  constexpr int kRuns = 3;
  for (int run = 1; run <= kRuns; ++run) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const platform::UniqueFd done(ends[0]);
    const platform::UniqueFd doneWriter(ends[1]);
    const pid_t child = busyChild({{50ms, 1500ms}, {150ms}}, doneWriter.get());
    ASSERT_GT(child, 0);
    const ProcessTree tree(child);
    const double work = tree.cpuOverWindow(kWindow, 0.0);
    const bool finished = readable(done.get());
    // At rest now: its rate is nothing, and nothing is left over it.
    const double resting = tree.cpuShare(300ms);
    const double afterwards = tree.cpuOverWindow(300ms, 0.5);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    if (!finished && run < kRuns) continue;
    ASSERT_TRUE(finished) << "in none of " << kRuns << " runs did the work fit the window";
    // Far more than the first turn holds: the second, after the quiet stretch, counts too, even
    // where some of the first came before the window opened.
    EXPECT_GE(work, 0.13);
    EXPECT_LT(work, 0.3);
    EXPECT_LT(resting, 0.05);
    EXPECT_EQ(afterwards, 0.0);
    return;
  }
}

}  // namespace
}  // namespace tessra::testing
