// Update reminders end to end: a feed on 127.0.0.1, a notification server of the test's own on
// the session bus, and the launcher-badge signals the program sends there.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/feed_updater.h"
#include "Tessra/shell/shell_test_support.h"
#include "Tessra/shell/update_window.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "platform/ui/desktop_notifications.h"
#include "platform/ui/launcher_badge.h"
#include "testing/http_server.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

using testing::waitUntil;

// Answers the desktop's notification calls and remembers them.
class NotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  explicit NotificationServer(QDBusConnection connection) : m_connection(connection) {}

  struct Shown {
    QString summary;
    QString body;
    QStringList actions;
  };
  std::vector<Shown> shown;
  std::vector<uint> closed;
  std::vector<QVariantMap> badges;
  QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};

  void invokeDefaultAction(uint id) {
    QDBusMessage signal = QDBusMessage::createSignal(platform::DesktopNotifications::kPath,
                                                     platform::DesktopNotifications::kInterface,
                                                     QStringLiteral("ActionInvoked"));
    signal << id << QStringLiteral("default");
    m_connection.send(signal);
  }

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap&, int) {
    // Other notifications of the program (a global shortcut another test process holds at
    // start) are not what this test watches.
    if (summary != QLatin1String("A new update is available")) return ++m_otherIds;
    shown.push_back({summary, body, actions});
    return static_cast<uint>(shown.size()) + 40;
  }
  void CloseNotification(uint id) { closed.push_back(id); }
  QStringList GetCapabilities() { return capabilities; }
  void badgeUpdate(const QString&, const QVariantMap& properties) { badges.push_back(properties); }

 private:
  QDBusConnection m_connection;
  uint m_otherIds = 1000;
};

// A running version 1.0.0 whose first scheduled check reads the feed's "/feed" at once.
FeedUpdater::Options checkingAtOnce(const tessra::testing::HttpServer& feed) {
  return {
      .feedUrl = QUrl(QString::fromStdString(feed.url("/feed"))),
      .currentVersion = QStringLiteral("1.0.0"),
      .firstCheckDelay = std::chrono::milliseconds(0),
      .checkInterval = std::chrono::hours(1),
  };
}

TEST(UpdatesTest, ScheduledFindsRemindUserChecksDoNot) {
  QDBusConnection bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
  NotificationServer server(bus);
  ASSERT_TRUE(bus.registerObject(platform::DesktopNotifications::kPath, &server,
                                 QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService(platform::DesktopNotifications::kService));
  ASSERT_TRUE(bus.connect(QString(), QString(), platform::LauncherBadge::kInterface,
                          QStringLiteral("Update"), &server,
                          SLOT(badgeUpdate(QString, QVariantMap))));

  tessra::testing::HttpServer feed;
  feed.route("GET", "/feed",
             tessra::testing::ScriptedResponse::json(
                 200, R"({"version": "2.0.0", "url": "https://tessra.example.com/2.0.0"})"));
  AppDelegate delegate(nullptr, checkingAtOnce(feed));
  auto* updater = static_cast<FeedUpdater*>(delegate.updaterController());

  // The scheduled check finds 2.0.0: taskbar entry, badge "1", notification.
  ASSERT_TRUE(waitUntil([&] { return !server.shown.empty() && !server.badges.empty(); }));
  EXPECT_EQ(openDockWindowCount(), 1);
  EXPECT_EQ(server.badges.back().value("count").toLongLong(), 1);
  EXPECT_TRUE(server.badges.back().value("count-visible").toBool());
  EXPECT_EQ(server.shown[0].summary, "A new update is available");
  EXPECT_EQ(server.shown[0].body, "Version 2.0.0 is now available");
  EXPECT_TRUE(server.shown[0].actions.contains("default"));
  ASSERT_NE(updater->window(), nullptr);
  EXPECT_FALSE(updater->window()->isActiveWindow()) << "a scheduled find waits behind";

  // A click on the notification starts a user check, which attends to the update: badge and
  // notification go.
  server.invokeDefaultAction(41);
  ASSERT_TRUE(waitUntil([&] { return !server.closed.empty(); }));
  EXPECT_EQ(server.closed, std::vector<uint>{41});
  ASSERT_TRUE(waitUntil([&] { return !server.badges.back().value("count-visible").toBool(); }));
  updater->window()->close();
  ASSERT_TRUE(waitUntil([&] { return openDockWindowCount() == 0; }));

  // A check the user starts shows the update with a taskbar entry, but sets no badge and posts
  // no notification.
  const std::size_t badgesBefore = server.badges.size();
  updater->checkForUpdates();
  ASSERT_TRUE(waitUntil([&] { return updater->window() != nullptr; }));
  EXPECT_EQ(openDockWindowCount(), 1);
  EXPECT_EQ(updater->window()->update()->displayVersionString, "2.0.0");
  // A check that nothing happens: a notification would have made its D-Bus round trip by now.
  QTest::qWait(200);
  EXPECT_EQ(server.shown.size(), 1u);
  for (std::size_t i = badgesBefore; i < server.badges.size(); ++i)
    EXPECT_FALSE(server.badges[i].value("count-visible").toBool());
  updater->window()->close();
  EXPECT_TRUE(waitUntil([&] { return openDockWindowCount() == 0; }));
  bus.unregisterService(platform::DesktopNotifications::kService);
}

TEST(UpdatesTest, AVersionThatLooksLikeMarkupIsShownAsSent) {
  const QString version = QStringLiteral("2.0.0 <img src=/dev/zero> & co");
  tessra::testing::HttpServer feed;
  feed.route(
      "GET", "/feed",
      tessra::testing::ScriptedResponse::json(
          200, R"({"version": "2.0.0 <img src=/dev/zero> & co", "url": "https://a.example"})"));
  const struct {
    bool readsMarkup;
    QString body;
  } servers[] = {
      {false, "Version 2.0.0 <img src=/dev/zero> & co is now available"},
      {true, "Version 2.0.0 &lt;img src=/dev/zero&gt; &amp; co is now available"},
  };
  for (const auto& c : servers) {
    SCOPED_TRACE(c.readsMarkup ? "a server that reads markup" : "a plain server");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("markup"));
    NotificationServer server(bus);
    if (c.readsMarkup) server.capabilities.append(QStringLiteral("body-markup"));
    ASSERT_TRUE(bus.registerObject(platform::DesktopNotifications::kPath, &server,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(platform::DesktopNotifications::kService));
    {
      // A label that took the version for markup would read "/dev/zero" without end.
      const tessra::testing::MemoryCeiling ceiling(64 << 20);
      AppDelegate delegate(nullptr, checkingAtOnce(feed));
      auto* updater = static_cast<FeedUpdater*>(delegate.updaterController());
      ASSERT_TRUE(waitUntil([&] { return !server.shown.empty() && updater->window(); }));
      EXPECT_EQ(server.shown[0].body, c.body);
      UpdateWindow& window = *updater->window();
      (void)window.grab();
      EXPECT_EQ(window.update()->displayVersionString, version);
      EXPECT_EQ(tessra::testing::labelsGuessingTheirFormat(window), std::vector<std::string>{});
      window.close();
    }
    bus.unregisterService(platform::DesktopNotifications::kService);
    QDBusConnection::disconnectFromBus(QStringLiteral("markup"));
  }
}

TEST(UpdatesTest, VersionsCompareByNumber) {
  const struct {
    const char* candidate;
    const char* current;
    bool newer;
  } cases[] = {
      {"2.0.0", "1.0.0", true}, {"1.10", "1.9", true},     {"1.0.1", "1.0", true},
      {"1.0", "1.0.0", false},  {"1.0.0", "1.0.0", false}, {"0.9", "1.0", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FeedUpdater::isNewer(c.candidate, c.current), c.newer)
        << c.candidate << " vs " << c.current;
}

}  // namespace
}  // namespace tessra

#include "updates_test.moc"
