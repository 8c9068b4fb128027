#include "Tessra/shell/status_item.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>

#include <gtest/gtest.h>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/app_version.h"
#include "Tessra/shell/login_launch.h"
#include "Tessra/shell/menu_bar_icon.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/shell/shell_test_support.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/user_settings.h"
#include "shortcuts/global_shortcuts.h"
#include "testing/fake_opener.h"
#include "testing/log_capture.h"
#include "testing/qt_wait.h"

namespace tessra {
namespace {

// The messages the program shows now.
std::vector<QMessageBox*> shownMessages() {
  std::vector<QMessageBox*> shown;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
      shown.push_back(box);
  return shown;
}

const char* heldOpenShortcut() {
  const auto shortcut = openTessraGlobal().shortcut();
  return shortcut && shortcuts::GlobalShortcuts::isRegistered(*shortcut) ? "Alt+Space" : "";
}

TEST(StatusItemTest, TheMenuHasNineEntriesInOrderMadeAfreshEachTime) {
  std::unique_ptr<QMenu> menu(StatusItem::shared().makeMenu());
  const QList<QAction*> entries = menu->actions();
  const struct {
    const char* text;  // empty for a separator
    const char* shortcut;
    bool enabled;
  } expected[] = {
      // The global shortcut, while the program holds it (another test may hold it now).
      {"Open Tessra", heldOpenShortcut(), true},
      {"", "", true},
      {"Send Feedback", "", true},
      {"Share", "", true},
      {"", "", true},
      {"Check for Updates…", "", false},  // no update feed in the test
      {"Settings", "", false},            // no settings window yet
      {"", "", true},
      {"Quit", "Ctrl+Q", true},
  };
  ASSERT_EQ(entries.size(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(entries[i]->isSeparator(), *expected[i].text == '\0') << i;
    EXPECT_EQ(entries[i]->text().toStdString(), expected[i].text) << i;
    EXPECT_EQ(entries[i]->shortcut().toString().toStdString(), expected[i].shortcut) << i;
    EXPECT_EQ(entries[i]->isEnabled(), expected[i].enabled) << i;
  }
  ASSERT_NE(entries[2]->menu(), nullptr);
  const QList<QAction*> feedback = entries[2]->menu()->actions();
  ASSERT_EQ(feedback.size(), 2);
  EXPECT_EQ(feedback[0]->text(), "Open Email");
  EXPECT_EQ(feedback[1]->text(), "Copy Email");

  feedback[1]->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), app_version::kSupportEmail);

  std::unique_ptr<QMenu> again(StatusItem::shared().makeMenu());
  EXPECT_NE(again->actions().first(), entries.first()) << "a fresh menu, not the old one again";
}

TEST(StatusItemTest, TheMenuIsCurrentEachTimeItOpens) {
  std::unique_ptr<QMenu> menu(StatusItem::shared().makeMenu());
  QAction* settings = menu->actions().at(6);
  ASSERT_EQ(settings->text(), "Settings");
  EXPECT_FALSE(settings->isEnabled()) << "no settings window yet";

  setSettingsWindowFactory([] { return new QWidget; });
  emit menu->aboutToShow();
  EXPECT_TRUE(settings->isEnabled());
  setSettingsWindowFactory({});
  emit menu->aboutToShow();
  EXPECT_FALSE(settings->isEnabled());
}

TEST(StatusItemTest, WithoutATrayTheSideButtonShowsWhateverTheSetting) {
  ASSERT_FALSE(StatusItem::trayAvailable()) << "the test session has no tray host";
  UserSettings::shared().setValue(setting::overlayIconVisible, false);
  AppDelegate delegate;
  delegate.startApp();
  EXPECT_NE(delegate.buttonWindow(), nullptr);
  EXPECT_FALSE(UserSettings::shared().value(setting::overlayIconVisible))
      << "the setting stays as the user left it";
  EXPECT_FALSE(setting::overlayIconVisible.read());
  EXPECT_TRUE(StatusItem::shared().isStarted());
}

// The opener itself (url_opener_test) proves what leaves the program; here only that the text
// reaches it when it is a link and stops before it when it is not.
TEST(StatusItemTest, TheTrayIconReadsOnLightAndDarkTrays) {
  const QPixmap icon = menuBarIcon().pixmap(22, 22);
  ASSERT_FALSE(icon.isNull());
  // trayer's default background is light; many panels are dark.
  for (const QColor tray : {QColor(0xed, 0xed, 0xed), QColor(0x2b, 0x2d, 0x31)}) {
    QImage shown(icon.size(), QImage::Format_RGB32);
    shown.fill(tray);
    QPainter(&shown).drawPixmap(0, 0, icon);
    int contrasting = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        contrasting += std::abs(qGray(shown.pixel(x, y)) - qGray(tray.rgb())) > 100;
    EXPECT_GT(contrasting, 40) << tray.name().toStdString();
  }
}

TEST(OpenUrlTest, RefusesInvalidTextAndOtherSchemes) {
  const struct {
    const char* text;
    const char* logged;
  } cases[] = {
      {"", "Invalid URL"},
      {"   ", "Invalid URL"},
      {"http://exa mple.com/%zz", "Invalid URL"},
      {"file:///etc/passwd", "Refused to open \"file:///etc/passwd\""},
      {"ftp://example.com", "Refused to open \"ftp://example.com\""},
  };
  for (const auto& c : cases) {
    tessra::testing::LogCapture log;
    openURL(QString::fromUtf8(c.text));
    EXPECT_TRUE(log.contains(c.logged)) << c.text << "\n" << log.all();
  }
  for (QMessageBox* told : shownMessages()) told->close();
}

TEST(OpenUrlTest, ALinkNoProgramOpensIsToldWithTheLink) {
  // The desktop's opener runs and finds no program for the link, as without a browser.
  testing::FakeOpener opener(testing::FakeOpener::kNoProgram);
  openURL(QStringLiteral("https://example.com/share"));
  ASSERT_EVENTUALLY(shownMessages().size() == 1, 5000);
  QMessageBox* told = shownMessages().front();
  EXPECT_EQ(told->text(), LocalizedText::MessagePage::cannotOpenLink());
  EXPECT_EQ(told->informativeText(), "https://example.com/share");
  told->close();
  EXPECT_EQ(opener.opened(), std::vector<std::string>{"https://example.com/share"});
}

TEST(LoginLaunchTest, OnlyTheFlagMakesALoginStart) {
  EXPECT_TRUE(login_launch::launchedAsLoginItem({"tessra", "--login-item"}));
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"tessra"}));
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"--login-item"})) << "the program's own name";
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"tessra", "--login-items"}));
}

}  // namespace
}  // namespace tessra
