// The program on a screen of two monitors side by side, the first the primary one: the panel and
// its side button open on the monitor the user works on (the active window's, else the
// pointer's), the panel opens beside the button clicked, and a click on the other monitor that
// closes the panel brings the button back there.
#include <QProcess>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using testing::TestDesktop;

constexpr int kStartMs = 20000;
constexpr int kWidth = TestDesktop::kMonitorWidth;
// How far the side button reaches beyond the screen's edge.
constexpr int kButtonBeyondEdge = 28;

void movePointerTo(const QPoint& point) {
  testing::xdotool(
      {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
}

class MonitorsDesktopTest : public ::testing::Test {
 protected:
  // The panel's frame once it has opened, or an empty one.
  QRect openedPanel() {
    QString panel;
    if (!QTest::qWaitFor([&] { return !(panel = m_tessra.panel()).isEmpty(); }, kStartMs))
      return {};
    return testing::windowFrame(panel);
  }
  QRect sideButton() {
    QString button;
    if (!QTest::qWaitFor([&] { return !(button = buttonWindow()).isEmpty(); }, kStartMs)) return {};
    return testing::windowFrame(button);
  }
  QString buttonWindow() const {
    const QStringList windows = m_tessra.windows(QStringLiteral("Tessra Button"));
    return windows.isEmpty() ? QString() : windows.first();
  }
  void closePanel() {
    testing::pressKeys(QStringLiteral("alt+space"));
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kStartMs);
  }
  // The work area of the monitor that starts at `left`: openbox publishes one for the whole
  // screen, above the tray's bar.
  static QRect workArea(int left) {
    return {left, 0, kWidth, TestDesktop::kMonitorHeight - TestDesktop::current().barHeight()};
  }

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

TEST_F(MonitorsDesktopTest, ThePanelAndItsButtonOpenOnTheMonitorTheUserWorksOn) {
  ASSERT_EQ(QGuiApplication::screens().size(), 2);
  std::filesystem::create_directories(m_tessra.configFolder());
  std::ofstream(m_tessra.configFolder() / "defaults.json") << R"({"onboardingPresented": true})";
  // No window is active yet: the pointer's monitor, the second, is the one.
  movePointerTo({kWidth + 900, 500});
  m_tessra.start({QStringLiteral("--login-item")});
  QRect button = sideButton();
  EXPECT_EQ(button.right() - kButtonBeyondEdge, 2 * kWidth - 1)
      << "at the second monitor's right edge";
  testing::pressKeys(QStringLiteral("alt+space"));
  QRect panel = openedPanel();
  EXPECT_TRUE(workArea(kWidth).contains(panel)) << "in the second monitor's work area";
  EXPECT_EQ(panel.right(), 2 * kWidth - 1);
  EXPECT_EQ(panel.bottom(), workArea(kWidth).bottom());
  closePanel();
  EXPECT_GE(sideButton().left(), kWidth) << "back beside where the panel was";

  // Another program's window on the first monitor becomes active; the button, placed before,
  // still stands on the second, and opens the panel there, beside it.
  QWidget other;
  other.setWindowTitle(QStringLiteral("Other program"));
  other.setGeometry(200, 200, 400, 300);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  const auto activateOther = [&] {
    testing::clickAt(400, 350);
    ASSERT_EVENTUALLY(other.isActiveWindow(), kStartMs);
  };
  ASSERT_NO_FATAL_FAILURE(activateOther());
  button = sideButton();
  testing::clickAt(button.center().x(), button.center().y());
  EXPECT_TRUE(workArea(kWidth).contains(openedPanel())) << "beside the button clicked";
  closePanel();

  // With the pointer on the second monitor, the shortcut opens the panel by the active window.
  ASSERT_NO_FATAL_FAILURE(activateOther());
  movePointerTo({kWidth + 900, 500});
  testing::pressKeys(QStringLiteral("alt+space"));
  panel = openedPanel();
  EXPECT_TRUE(workArea(0).contains(panel)) << "in the first monitor's work area";
  EXPECT_EQ(panel.right(), kWidth - 1);
  closePanel();
  EXPECT_LT(sideButton().left(), kWidth) << "back beside where the panel was";
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(MonitorsDesktopTest, AClickOnTheOtherMonitorTakesTheSideButtonThere) {
  std::filesystem::create_directories(m_tessra.configFolder());
  std::ofstream(m_tessra.configFolder() / "defaults.json") << R"({"onboardingPresented": true})";
  // A terminal on the second monitor, and the user at work on the first.
  QProcess terminal;
  terminal.start(QStringLiteral("xterm"),
                 {QStringLiteral("-geometry"), QStringLiteral("80x24+%1+300").arg(kWidth + 400)});
  QString terminalWindow;
  ASSERT_EVENTUALLY(!(terminalWindow = testing::xdotool(
                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--pid"), QString::number(terminal.processId())}))
                         .isEmpty(),
                    kStartMs);
  QWidget other;
  other.setWindowTitle(QStringLiteral("Other program"));
  other.setGeometry(200, 200, 400, 300);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  testing::clickAt(400, 350);
  ASSERT_EVENTUALLY(other.isActiveWindow(), kStartMs);
  m_tessra.start({QStringLiteral("--login-item")});
  ASSERT_LT(sideButton().left(), kWidth);
  testing::pressKeys(QStringLiteral("alt+space"));
  ASSERT_TRUE(workArea(0).contains(openedPanel())) << "in the first monitor's work area";

  // A click into the terminal closes the panel; the user now works on the second monitor.
  const QRect terminalFrame = testing::windowFrame(terminalWindow);
  testing::clickAt(terminalFrame.center().x(), terminalFrame.center().y());
  ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kStartMs);
  ASSERT_EVENTUALLY(sideButton().left() >= kWidth, kStartMs) << " (on the monitor clicked)";
  ASSERT_EVENTUALLY(
      testing::topLevelOf(testing::focusedWindow()) == testing::topLevelOf(terminalWindow),
      kStartMs);
  EXPECT_EQ(sideButton().right() - kButtonBeyondEdge, 2 * kWidth - 1)
      << "at the second monitor's right edge, once the terminal is active";

  terminal.kill();
  terminal.waitForFinished();
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
