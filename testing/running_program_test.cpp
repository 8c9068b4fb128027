// The built program as the whole-program tests run it: when it dies by a signal that dumps core,
// the test's output holds the stacks it died with.
#include <signal.h>

#include <QString>

#include <filesystem>
#include <fstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra::testing {
namespace {

constexpr int kStartMs = 20000;

TEST(RunningProgramTest, AProgramKilledBySegvLeavesItsStacksInTheOutput) {
  TempDir home;
  RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  tessra.start();
  // Its icon shows once main() runs the event loop, so main() is on the stack.
  ASSERT_EVENTUALLY(!tessra.trayIcon().isEmpty(), kStartMs);

  ASSERT_EQ(::kill(static_cast<pid_t>(tessra.pid()), SIGSEGV), 0);
  EXPECT_EQ(tessra.waitForExit(), -1);
  EXPECT_EQ(tessra.crashSignal(), SIGSEGV);

  const std::string report = tessra.crashReport().toStdString();
  std::ifstream patternFile("/proc/sys/kernel/core_pattern");
  std::string pattern;
  std::getline(patternFile, pattern);
  if (pattern.starts_with('|') || pattern.starts_with('/')) {
    EXPECT_THAT(report, ::testing::HasSubstr("no core could be read: the kernel "));
  } else {
    EXPECT_THAT(report, ::testing::HasSubstr("ended by signal 11 (SIGSEGV); its stacks"));
    // A frame of the main thread, with its source file: the program's own symbols were read.
    EXPECT_THAT(report,
                ::testing::ContainsRegex(R"(#[0-9]+ +0x[0-9a-f]+ in main\(.* at .*main\.cpp:)"));
  }
  EXPECT_TRUE(std::filesystem::is_empty(tessra.coreFolder()));
}

}  // namespace
}  // namespace tessra::testing
