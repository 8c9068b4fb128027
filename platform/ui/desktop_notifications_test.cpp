// Desktop notifications against a notification server the test plays on the session bus.
#include "platform/ui/desktop_notifications.h"

#include <QDBusConnection>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "testing/qt_wait.h"

namespace tessra::platform {
namespace {

// Shows nothing, remembers what it was asked to show and to close.
class Server : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    uint id = 0;
    QString summary;
  };
  std::vector<Shown> shown;
  std::vector<uint> closed;

  bool hasShown(const QString& summary) const {
    return std::ranges::any_of(shown, [&](const Shown& s) { return s.summary == summary; });
  }

 public slots:
  QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString&,
              const QStringList&, const QVariantMap&, int) {
    shown.push_back({static_cast<uint>(shown.size()) + 1, summary});
    return shown.back().id;
  }
  void CloseNotification(uint id) { closed.push_back(id); }
};

TEST(DesktopNotificationsTest, ANotificationWithdrawnBeforeTheServiceAnsweredDoesNotStay) {
  QDBusConnection bus =
      QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
  Server server;
  ASSERT_TRUE(
      bus.registerObject(DesktopNotifications::kPath, &server, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(bus.registerService(DesktopNotifications::kService));
  DesktopNotifications notifications(QDBusConnection::sessionBus());

  // Withdrawn in the same turn, as a panel that shows at once withdraws what it says itself.
  notifications.add(QStringLiteral("withdrawn"), QStringLiteral("Withdrawn"), QStringLiteral("-"));
  notifications.removeDelivered(QStringLiteral("withdrawn"));
  // Asked for after it, so answered after it: once it is shown, the first had its chance.
  notifications.add(QStringLiteral("later"), QStringLiteral("Later"), QStringLiteral("-"));
  ASSERT_EVENTUALLY(server.hasShown(QStringLiteral("Later")), 5000);
  for (const Server::Shown& shown : server.shown) {
    if (shown.summary != QLatin1String("Withdrawn")) continue;
    EXPECT_NE(std::ranges::find(server.closed, shown.id), server.closed.end())
        << "shown and never closed";
  }
  bus.unregisterService(DesktopNotifications::kService);
  QDBusConnection::disconnectFromBus(QStringLiteral("server"));
}

}  // namespace
}  // namespace tessra::platform

#include "desktop_notifications_test.moc"
