// The global shortcut held by the window manager, as the stock configurations of openbox, xfwm4
// and i3 hold Alt+Space: the panel tells the user, in the program's language, with or without a
// notification service and over no notification, and the tray offers no shortcut that would do
// nothing.
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/shell/panel_notice.h"
#include "Tessra/shell/status_item.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

// The settings and the telemetry cache of the test process stay in its own folders.
class PrivateFolders final : public ::testing::Environment {
 private:
  testing::TempDir m_root;
  testing::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_root / "config").string()};
  testing::ScopedEnv m_cache{"XDG_CACHE_HOME", (m_root / "cache").string()};
  testing::ScopedEnv m_data{"XDG_DATA_HOME", (m_root / "data").string()};
};
[[maybe_unused]] ::testing::Environment* const kPrivateFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateFolders);

// Starts the program's hub, as main does, and waits for the panel's first show.
FloatingController* startAndShowThePanel(AppDelegate& delegate) {
  delegate.setUp();
  if (!QTest::qWaitFor([&] { return delegate.floatingWindow() != nullptr; }, 5000)) return nullptr;
  FloatingController* panel = delegate.floatingWindow()->controller();
  if (!QTest::qWaitFor([&] { return panel->isVisible() && !panel->isAnimating(); }, 5000))
    return nullptr;
  return panel;
}

QString openEntryShortcut() {
  std::unique_ptr<QMenu> menu(StatusItem::shared().makeMenu());
  return menu->actions().first()->shortcut().toString();
}

TEST(ShortcutTakenTest, WithoutANotificationServiceThePanelTellsItUntilDismissed) {
  testing::TestDesktop::current().useStockKeyBindings();
  AppDelegate delegate(nullptr, std::nullopt);
  FloatingController* panel = startAndShowThePanel(delegate);
  ASSERT_NE(panel, nullptr);
  ASSERT_EVENTUALLY(panel->notice() != nullptr && panel->notice()->isVisible(), 5000);
  PanelNotice* notice = panel->notice();
  EXPECT_EQ(notice->title(), "Alt+Space (in use by another program)");
  EXPECT_EQ(notice->text(), "This shortcut is already used by another program or by the desktop.");
  EXPECT_TRUE(panel->rect().contains(notice->geometry()));
  EXPECT_EQ(openEntryShortcut(), "");

  const QPoint ok = notice->okButton()->mapToGlobal(notice->okButton()->rect().center());
  testing::clickAt(ok.x(), ok.y());
  ASSERT_EVENTUALLY(!notice->isVisible(), 5000);
  // Seen once is enough for this run: the next show has none.
  delegate.toggleFloatingWindow();
  ASSERT_EVENTUALLY(!panel->isVisible(), 5000);
  delegate.toggleFloatingWindow();
  ASSERT_EVENTUALLY(panel->isVisible() && !panel->isAnimating(), 5000);
  EXPECT_FALSE(notice->isVisible());
}

TEST(ShortcutTakenTest, WithANotificationServiceThePanelTellsItAndCoversNoNotification) {
  auto& desktop = testing::TestDesktop::current();
  desktop.startNotificationServer();
  desktop.useStockKeyBindings();
  AppDelegate delegate(nullptr, std::nullopt);
  FloatingController* panel = startAndShowThePanel(delegate);
  ASSERT_NE(panel, nullptr);
  ASSERT_EVENTUALLY(panel->notice() != nullptr && panel->notice()->isVisible(), 5000);
  EXPECT_EQ(panel->notice()->title().toStdString(), "Alt+Space (in use by another program)");
  const QString window = QString::number(panel->window()->winId());
  EXPECT_EQ(testing::coveredBy(window, testing::notificationPopups()).join(' ').toStdString(), "")
      << "notification popups under the panel";
}

TEST(ShortcutTakenTest, TheNoticeReadsTheProgramsLanguage) {
  testing::TestDesktop::current().useStockKeyBindings();
  UserSettings::shared().setValue(setting::appLanguage, AppLanguage::german);
  AppDelegate delegate(nullptr, std::nullopt);
  FloatingController* panel = startAndShowThePanel(delegate);
  ASSERT_NE(panel, nullptr);
  ASSERT_EVENTUALLY(panel->notice() != nullptr && panel->notice()->isVisible(), 5000);
  EXPECT_EQ(panel->notice()->title().toStdString(),
            "Alt+Space (von einem anderen Programm belegt)");
  EXPECT_EQ(panel->notice()->text().toStdString(),
            "Dieser Kurzbefehl wird schon von einem anderen Programm oder vom Desktop verwendet.");
}

TEST(ShortcutTakenTest, AFreeShortcutNeedsNoNoticeAndTheTrayOffersIt) {
  AppDelegate delegate(nullptr, std::nullopt);
  FloatingController* panel = startAndShowThePanel(delegate);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(openEntryShortcut(), "Alt+Space");
  EXPECT_EQ(panel->notice(), nullptr);
}

}  // namespace
}  // namespace tessra
