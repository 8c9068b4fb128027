// A test process that dies (a crash, a sanitizer halting it) takes its test desktop with it: no
// display, bus, keyring, window manager or tray lives on under init.
#include "testing/test_desktop.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "testing/process_tree.h"

namespace tessra::testing {
namespace {

using namespace std::chrono_literals;

// Whether the process runs: an ended one not yet reaped by its new parent counts as ended.
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto end = line.rfind(')');
  return end != std::string::npos && end + 2 < line.size() && line[end + 2] != 'Z';
}

TEST(TestDesktopTest, EndsWithTheProcessThatStartedItHoweverItEnds) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t test = ::fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    ::close(ready[0]);
    try {
      const TestDesktop desktop;
      (void)!::write(ready[1], "1", 1);
      ::pause();
    } catch (const std::exception& error) {
      std::cerr << error.what() << '\n';
    }
    ::_exit(1);
  }
  ::close(ready[1]);
  char answer = 0;
  const bool started = ::read(ready[0], &answer, 1) == 1;
  ::close(ready[0]);
  std::vector<pid_t> desktop = ProcessTree(test).processes();
  std::erase(desktop, test);

  // The test process dies without a word to its desktop.
  ::kill(test, SIGKILL);
  ::waitpid(test, nullptr, 0);
  ASSERT_TRUE(started) << "the test desktop did not start";
  // The display, the bus, the keyring, the window manager and the tray.
  EXPECT_GE(desktop.size(), 5u);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::ranges::any_of(desktop, running) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  std::vector<pid_t> left;
  std::ranges::copy_if(desktop, std::back_inserter(left), running);
  EXPECT_TRUE(left.empty()) << left.size() << " of the desktop's " << desktop.size()
                            << " processes still run";
  // What a failure left is ended here, so that it does not outlive the run.
  for (const pid_t pid : left) ::kill(pid, SIGKILL);
}

}  // namespace
}  // namespace tessra::testing
