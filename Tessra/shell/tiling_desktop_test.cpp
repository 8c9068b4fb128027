// The program on a tiling manager that publishes no work area (i3 with i3bar at the bottom): the
// panel stands beside the desktop's bars as they come and go, at the side and at the bottom edge,
// the windows with a size of their own float at that size instead of filling a tile, and the
// notification that i3's stock bindings hold the global shortcut never stays under the panel.
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/ui/x11_connection.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using testing::RunningProgram;

constexpr int kStartMs = 20000;

// A bar along the top edge as a desktop's own would make itself: a dock window that reserves
// its height with a strut, which i3 takes into its dock area.
class TopBar {
 public:
  explicit TopBar(int height) {
    xcb_connection_t* c = m_x11.get();
    m_window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_x11.rootWindow(), 0, 0, 1920,
                      static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_window, atom("_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &dock);
    const std::uint32_t strut[12] = {
        0, 0, static_cast<std::uint32_t>(height), 0, 0, 0, 0, 0, 0, 1919, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_window, atom("_NET_WM_STRUT_PARTIAL"),
                        XCB_ATOM_CARDINAL, 32, 12, strut);
    xcb_flush(c);
  }

  void show(bool shown) {
    if (shown) {
      xcb_map_window(m_x11.get(), m_window);
    } else {
      xcb_unmap_window(m_x11.get(), m_window);
    }
    xcb_flush(m_x11.get());
  }

 private:
  xcb_atom_t atom(const char* name) {
    xcb_connection_t* c = m_x11.get();
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  platform::X11Connection m_x11;
  xcb_window_t m_window = XCB_WINDOW_NONE;
};

class TilingDesktopTest : public ::testing::Test {
 protected:
  // Starts the program with these user defaults (as JSON members) and waits for its panel.
  QString startWithPanel(const std::string& defaults = {}) {
    writeDefaults(R"("onboardingPresented": true)" + (defaults.empty() ? "" : ", " + defaults));
    m_tessra.start();
    QString shown;
    (void)QTest::qWaitFor([&] { return !(shown = m_tessra.panel()).isEmpty(); }, kStartMs);
    return shown;
  }
  void writeDefaults(const std::string& members) {
    std::filesystem::create_directories(m_tessra.configFolder());
    std::ofstream(m_tessra.configFolder() / "defaults.json") << "{" << members << "}";
  }
  static QRect frame(const QString& window) { return testing::windowFrame(window); }

  testing::TempDir m_home;
  RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

TEST_F(TilingDesktopTest, ThePanelStandsBesideTheDesktopsBarsAsTheyComeAndGo) {
  auto& desktop = testing::TestDesktop::current();
  const int bar = desktop.barHeight();
  ASSERT_GT(bar, 0);
  const QString panel = startWithPanel();
  ASSERT_FALSE(panel.isEmpty());
  ASSERT_EVENTUALLY_EQ(frame(panel).bottom() + 1, 1080 - bar, kStartMs);
  EXPECT_EQ(frame(panel).top(), 0);
  EXPECT_EQ(frame(panel).right() + 1, 1920);

  TopBar top(30);
  top.show(true);
  ASSERT_EVENTUALLY_EQ(frame(panel).top(), 30, kStartMs);
  desktop.stopTray();
  ASSERT_EVENTUALLY_EQ(frame(panel).bottom() + 1, 1080, kStartMs);
  top.show(false);
  ASSERT_EVENTUALLY_EQ(frame(panel).top(), 0, kStartMs);
  desktop.startTray();
  ASSERT_EVENTUALLY_EQ(frame(panel).bottom() + 1, 1080 - bar, kStartMs);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(TilingDesktopTest, AtTheBottomEdgeThePanelEndsAboveTheBar) {
  const int bar = testing::TestDesktop::current().barHeight();
  const QString panel = startWithPanel(R"("popupWindowPosition": 3)");
  ASSERT_FALSE(panel.isEmpty());
  ASSERT_EVENTUALLY_EQ(frame(panel).bottom() + 1, 1080 - bar, kStartMs);
  EXPECT_EQ(frame(panel).height(), 312);
  EXPECT_EQ(frame(panel).left(), 0);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(TilingDesktopTest, TheSettingsWindowFloatsAtItsOwnSize) {
  ASSERT_FALSE(startWithPanel().isEmpty());
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kStartMs);
  testing::pressKeys(QStringLiteral("ctrl+comma"));
  const QString settings = m_tessra.waitForWindow(QStringLiteral("General"));
  ASSERT_FALSE(settings.isEmpty());
  ASSERT_EVENTUALLY_EQ(frame(settings).size(), QSize(716, 522), kStartMs);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(TilingDesktopTest, TheOnboardingFloatsAtItsOwnSize) {
  writeDefaults({});
  m_tessra.start();
  const QString onboarding = m_tessra.waitForWindow(QStringLiteral("Welcome"));
  ASSERT_FALSE(onboarding.isEmpty());
  ASSERT_EVENTUALLY_EQ(frame(onboarding).size(), QSize(460, 540), kStartMs);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(TilingDesktopTest, AtLoginTheDesktopTellsOfTheHeldShortcutUntilThePanelShows) {
  auto& desktop = testing::TestDesktop::current();
  desktop.startNotificationServer();
  desktop.useStockKeyBindings();
  writeDefaults(R"("onboardingPresented": true)");
  m_tessra.start({QStringLiteral("--login-item")});
  ASSERT_EVENTUALLY(!testing::notificationPopups().isEmpty(), kStartMs);
  QString icon;
  ASSERT_EVENTUALLY(!(icon = m_tessra.trayIcon()).isEmpty(), kStartMs);
  const QPoint click = frame(icon).center();
  testing::clickAt(click.x(), click.y());
  QString panel;
  ASSERT_EVENTUALLY(!(panel = m_tessra.panel()).isEmpty(), kStartMs);
  // The panel's own notice says it now; the server would otherwise keep its popup for seconds.
  ASSERT_EVENTUALLY(testing::notificationPopups().isEmpty(), 2000);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
