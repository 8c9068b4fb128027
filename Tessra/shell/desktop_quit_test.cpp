// Every way out of the program ends it cleanly on a desktop with a tray host, where the tray
// icon is a real client of the tray, and on one without.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "testing/keyboard_grab_watch.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using testing::RunningProgram;

struct WayOut {
  const char* name;
  std::function<int(RunningProgram&)> quit;
};

WayOut bySignal(const char* name, int signalNumber) {
  return {name, [signalNumber](RunningProgram& program) { return program.quitWith(signalNumber); }};
}

// The keys in the panel, which has the keyboard once it is shown.
const WayOut kCtrlQ{"Ctrl+Q", [](RunningProgram& program) {
                      testing::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
                      return program.waitForExit();
                    }};

// A right click on the icon in the tray opens its menu, whose last entry is Quit.
int quitFromTheTray(RunningProgram& program) {
  // The panel can have the keyboard before the tray has made room for the icon.
  QRect icon;
  EXPECT_TRUE(QTest::qWaitFor([&] { return !(icon = program.trayIconFrame()).isEmpty(); }, 10000))
      << "no icon in the tray";
  const QStringList before = program.windows();
  testing::KeyboardGrabWatch grab;
  testing::clickAt(icon.center().x(), icon.center().y(), 3);
  const auto menuShown = [&] {
    const QStringList now = program.windows();
    return std::any_of(now.begin(), now.end(),
                       [&](const QString& window) { return !before.contains(window); });
  };
  EXPECT_TRUE(QTest::qWaitFor(menuShown, 10000)) << "no menu";
  // The menu takes the keyboard a moment after it is shown; keys sent before would miss it.
  EXPECT_TRUE(QTest::qWaitFor([&] { return grab.grabbed(); }, 10000))
      << "the menu never took the keyboard";
  testing::xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")});
  return program.waitForExit();
}
const WayOut kTrayQuit{"the tray's Quit", quitFromTheTray};

void expectEachExitsZero(const std::vector<WayOut>& ways) {
  for (const WayOut& way : ways) {
    SCOPED_TRACE(way.name);
    tessra::testing::TempDir home;
    RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
    tessra.start();
    ASSERT_FALSE(tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
    ASSERT_EVENTUALLY(tessra.hasKeyboard(), 20000);
    EXPECT_EQ(way.quit(tessra), 0) << "crashed with signal " << tessra.crashSignal();
  }
}

TEST(DesktopQuitTest, EveryWayOutWithTheTrayRunningExitsZero) {
  expectEachExitsZero({bySignal("SIGTERM", SIGTERM), bySignal("SIGINT", SIGINT),
                       bySignal("SIGHUP", SIGHUP), kCtrlQ, kTrayQuit});
}

// Started with `nohup`, as a user does who means it to outlive the terminal: closing that
// terminal (its hang-up) leaves it running, and a terminate still ends it cleanly.
TEST(DesktopQuitTest, StartedIgnoringHangUpsAHangUpLeavesItRunning) {
  tessra::testing::TempDir home;
  RunningProgram tessra(QStringLiteral("nohup"), home.path());
  tessra.start({QStringLiteral(TESSRA_BINARY)});
  ASSERT_FALSE(tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
  ASSERT_EVENTUALLY(tessra.hasKeyboard(), 20000);
  ::kill(static_cast<pid_t>(tessra.pid()), SIGHUP);
  // A hang-up it heeded would end it in well under a second.
  EXPECT_EQ(tessra.waitForExit(std::chrono::seconds(3)), -1)
      << "ended on the hang-up; signal " << tessra.crashSignal();
  ASSERT_TRUE(tessra.isRunning());
  EXPECT_EQ(tessra.quitWith(SIGTERM), 0) << "crashed with signal " << tessra.crashSignal();
}

// Started by a launcher that blocks terminates, which the program inherits: a terminate ends it
// cleanly all the same.
TEST(DesktopQuitTest, StartedWithTerminateBlockedATerminateEndsIt) {
  tessra::testing::TempDir home;
  RunningProgram tessra(QStringLiteral("perl"), home.path());
  tessra.start({QStringLiteral("-MPOSIX"), QStringLiteral("-e"),
                QStringLiteral("sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTERM)) or die;"
                               " exec @ARGV or die"),
                QStringLiteral(TESSRA_BINARY)});
  ASSERT_FALSE(tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
  ASSERT_EVENTUALLY(tessra.hasKeyboard(), 20000);
  EXPECT_EQ(tessra.quitWith(SIGTERM), 0) << "crashed with signal " << tessra.crashSignal();
}

TEST(DesktopQuitTest, WithoutATrayEveryWayOutExitsZero) {
  testing::TestDesktop::current().stopTray();
  expectEachExitsZero({bySignal("SIGTERM", SIGTERM), kCtrlQ});
}

}  // namespace
}  // namespace tessra
