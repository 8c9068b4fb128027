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
#include "platform/ui/desktop_notifications.h"
#include "platform/ui/launcher_badge.h"
#include "testing/http_server.h"

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
    shown.push_back({summary, body, actions});
    return static_cast<uint>(shown.size()) + 40;
  }
  void CloseNotification(uint id) { closed.push_back(id); }
  QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
  void badgeUpdate(const QString&, const QVariantMap& properties) { badges.push_back(properties); }

 private:
  QDBusConnection m_connection;
};

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
  AppDelegate delegate(nullptr, FeedUpdater::Options{
                                    .feedUrl = QUrl(QString::fromStdString(feed.url("/feed"))),
                                    .currentVersion = QStringLiteral("1.0.0"),
                                    .firstCheckDelay = std::chrono::milliseconds(0),
                                    .checkInterval = std::chrono::hours(1),
                                });
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
  QTest::qWait(200);  // the D-Bus round trip a notification would take
  EXPECT_EQ(server.shown.size(), 1u);
  for (std::size_t i = badgesBefore; i < server.badges.size(); ++i)
    EXPECT_FALSE(server.badges[i].value("count-visible").toBool());
  updater->window()->close();
  EXPECT_TRUE(waitUntil([&] { return openDockWindowCount() == 0; }));
  bus.unregisterService(platform::DesktopNotifications::kService);
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
