#include "platform/ui/desktop_notifications.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "platform/foundation/logger.h"

namespace tessra::platform {

DesktopNotifications& DesktopNotifications::shared() {
  static auto* instance =
      new DesktopNotifications(QDBusConnection::sessionBus(), QCoreApplication::instance());
  return *instance;
}

DesktopNotifications::DesktopNotifications(QDBusConnection connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {
  m_connection.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                       SLOT(onActionInvoked(uint, QString)));
  m_connection.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                       SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifications::add(const QString& identifier, const QString& title,
                               const QString& body) {
  // A service that reads markup in the body would load what a tag in the data names (an image
  // file); one that does not shows the text as it is, entities included. So the body is escaped
  // exactly when the service says it reads markup.
  const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, identifier, title, body](QDBusPendingCallWatcher* answered) {
            answered->deleteLater();
            const QDBusPendingReply<QStringList> capabilities = *answered;
            const bool readsMarkup = !capabilities.isError() &&
                                     capabilities.value().contains(QStringLiteral("body-markup"));
            notify(identifier, title, readsMarkup ? body.toHtmlEscaped() : body);
          });
}

void DesktopNotifications::notify(const QString& identifier, const QString& title,
                                  const QString& body) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QCoreApplication::applicationName() << m_serverIds.value(identifier, 0u)
       << QStringLiteral("tessra") << title << body
       << QStringList{QString::fromLatin1(kDefaultAction), title} << QVariantMap() << -1;
  auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, identifier](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) {
              logError("The desktop did not show the notification \"{}\": {}",
                       identifier.toStdString(), reply.error().message().toStdString());
              emit failed(identifier);
              return;
            }
            m_serverIds.insert(identifier, reply.value());
          });
}

void DesktopNotifications::removeDelivered(const QString& identifier) {
  const auto id = m_serverIds.find(identifier);
  if (id == m_serverIds.end()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                     QStringLiteral("CloseNotification"));
  call << id.value();
  m_serverIds.erase(id);
  m_connection.asyncCall(call);
}

void DesktopNotifications::onActionInvoked(uint id, const QString& action) {
  const QString identifier = m_serverIds.key(id);
  if (!identifier.isEmpty()) emit activated(identifier, action);
}

void DesktopNotifications::onNotificationClosed(uint id, uint) {
  const QString identifier = m_serverIds.key(id);
  if (!identifier.isEmpty()) m_serverIds.remove(identifier);
}

}  // namespace tessra::platform
