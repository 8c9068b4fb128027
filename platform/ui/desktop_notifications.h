// Notifications through the desktop's notification service (org.freedesktop.Notifications on the
// session bus), addressed by identifiers of our own.
//
//   auto& notifications = DesktopNotifications::shared();
//   notifications.add("UpdateCheck", title, body);   // replaces an earlier "UpdateCheck"
//   connect(&notifications, &DesktopNotifications::activated, ...);  // a click: "default"
//   notifications.removeDelivered("UpdateCheck");
//
// The service numbers its notifications; this keeps which number an identifier has, so that a
// second notification replaces the first and removal closes the right one, also one the service
// has not answered yet. Without a service the calls log and do nothing. GUI thread only; the
// service's answers come back on the event loop.
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

namespace tessra::platform {

class DesktopNotifications final : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kService = "org.freedesktop.Notifications";
  static constexpr const char* kPath = "/org/freedesktop/Notifications";
  static constexpr const char* kInterface = "org.freedesktop.Notifications";
  // The action the service reports when the notification itself is clicked.
  static constexpr const char* kDefaultAction = "default";

  // On the session bus; created on first use.
  static DesktopNotifications& shared();

  explicit DesktopNotifications(QDBusConnection connection, QObject* parent = nullptr);

  // Shows a notification that a click on it reports as `activated(identifier, "default")`. Both
  // texts are shown as they are, also by a service that reads markup in the body.
  void add(const QString& identifier, const QString& title, const QString& body);
  // Closes the notification of that identifier, when one was delivered or is on its way.
  void removeDelivered(const QString& identifier);

 signals:
  void activated(const QString& identifier, const QString& action);

 private slots:
  void onActionInvoked(uint id, const QString& action);
  void onNotificationClosed(uint id, uint reason);

 private:
  // Sends the notification of request `request` with the body in the form the service reads.
  void notify(const QString& identifier, quint64 request, const QString& title,
              const QString& body);
  void close(uint serverId);

  QDBusConnection m_connection;
  QHash<QString, uint> m_serverIds;
  // The notifications on their way to the service, by identifier: each `add` draws a request
  // number; a later `add` or a removal before the service answered supersedes it.
  QHash<QString, quint64> m_pending;
  quint64 m_lastRequest = 0;
};

}  // namespace tessra::platform
