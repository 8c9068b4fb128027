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
  const quint64 request = ++m_lastRequest;
  m_pending.insert(identifier, request);
  // A service that reads markup in the body would load what a tag in the data names (an image
  // file); one that does not shows the text as it is, entities included. So the body is escaped
  // exactly when the service says it reads markup.
  const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, identifier, request, title, body](QDBusPendingCallWatcher* answered) {
            answered->deleteLater();
            if (m_pending.value(identifier) != request) return;
            const QDBusPendingReply<QStringList> capabilities = *answered;
            const bool readsMarkup = !capabilities.isError() &&
                                     capabilities.value().contains(QStringLiteral("body-markup"));
            notify(identifier, request, title, readsMarkup ? body.toHtmlEscaped() : body);
          });
}

void DesktopNotifications::notify(const QString& identifier, quint64 request, const QString& title,
                                  const QString& body) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QCoreApplication::applicationName() << m_serverIds.value(identifier, 0u)
       << QStringLiteral("tessra") << title << body
       << QStringList{QString::fromLatin1(kDefaultAction), title} << QVariantMap() << -1;
  auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, identifier, request](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) {
              logError("The desktop did not show the notification \"{}\": {}",
                       identifier.toStdString(), reply.error().message().toStdString());
              if (m_pending.value(identifier) == request) m_pending.remove(identifier);
              return;
            }
            // Withdrawn or replaced while the service was showing it.
            if (m_pending.value(identifier) != request) {
              close(reply.value());
              return;
            }
            m_pending.remove(identifier);
            m_serverIds.insert(identifier, reply.value());
          });
}

void DesktopNotifications::removeDelivered(const QString& identifier) {
  m_pending.remove(identifier);
  const auto id = m_serverIds.find(identifier);
  if (id == m_serverIds.end()) return;
  close(id.value());
  m_serverIds.erase(id);
}

void DesktopNotifications::close(uint serverId) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                     QStringLiteral("CloseNotification"));
  call << serverId;
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
