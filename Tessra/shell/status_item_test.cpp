#include "Tessra/shell/status_item.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>

#include <gtest/gtest.h>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/app_version.h"
#include "Tessra/shell/login_launch.h"
#include "Tessra/shell/shell_test_support.h"
#include "Tessra/storage/settings_keys.h"
#include "testing/log_capture.h"

namespace tessra {
namespace {

TEST(StatusItemTest, TheMenuHasNineEntriesInOrderMadeAfreshEachTime) {
  std::unique_ptr<QMenu> menu(StatusItem::shared().makeMenu());
  const QList<QAction*> entries = menu->actions();
  const struct {
    const char* text;  // empty for a separator
    const char* shortcut;
    bool enabled;
  } expected[] = {
      {"Open Tessra", "Alt+Space", true},
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

TEST(StatusItemTest, WithoutATrayTheSideButtonShowsWhateverTheSetting) {
  ASSERT_FALSE(StatusItem::trayAvailable()) << "the test session has no tray host";
  ASSERT_TRUE(settings_keys::setOverlayIconVisible(false));
  AppDelegate delegate;
  delegate.startApp();
  EXPECT_NE(delegate.buttonWindow(), nullptr);
  EXPECT_FALSE(settings_keys::overlayIconVisible()) << "the setting stays as the user left it";
  EXPECT_TRUE(StatusItem::shared().isStarted());
}

// Stands in for the desktop's handlers: the real opener runs, nothing is launched.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

TEST(OpenUrlTest, RefusesInvalidTextAndOtherSchemes) {
  UrlRecorder recorder;
  for (const char* scheme : {"https", "mailto", "file", "ftp"})
    QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
  const struct {
    const char* text;
    bool opens;
    const char* logged;
  } cases[] = {
      {"https://tessra.example.com", true, nullptr},
      {"mailto:support@example.com", true, nullptr},
      {"", false, "Invalid URL"},
      {"http://exa mple.com/%zz", false, "Invalid URL"},
      {"file:///etc/passwd", false, "Refused to open"},
      {"ftp://example.com", false, "Refused to open"},
  };
  for (const auto& c : cases) {
    recorder.opened.clear();
    tessra::testing::LogCapture log;
    openURL(QString::fromUtf8(c.text));
    EXPECT_EQ(recorder.opened.size(), c.opens ? 1 : 0) << c.text;
    if (c.logged != nullptr) {
      EXPECT_TRUE(log.contains(c.logged)) << c.text;
    }
  }
  for (const char* scheme : {"https", "mailto", "file", "ftp"})
    QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

TEST(LoginLaunchTest, OnlyTheFlagMakesALoginStart) {
  EXPECT_TRUE(login_launch::launchedAsLoginItem({"tessra", "--login-item"}));
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"tessra"}));
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"--login-item"})) << "the program's own name";
  EXPECT_FALSE(login_launch::launchedAsLoginItem({"tessra", "--login-items"}));
}

}  // namespace
}  // namespace tessra

#include "status_item_test.moc"
