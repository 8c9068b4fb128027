#include "platform/ui/launcher_badge.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusMessage>
#include <QVariantMap>

namespace tessra::platform {

LauncherBadge& LauncherBadge::shared() {
  static auto* instance =
      new LauncherBadge(QDBusConnection::sessionBus(), QStringLiteral("tessra.desktop"),
                        QCoreApplication::instance());
  return *instance;
}

LauncherBadge::LauncherBadge(QDBusConnection connection, QString desktopFileName, QObject* parent)
    : QObject(parent),
      m_connection(std::move(connection)),
      m_desktopFileName(std::move(desktopFileName)) {}

QString LauncherBadge::applicationUri() const {
  return QStringLiteral("application://") + m_desktopFileName;
}

QString LauncherBadge::objectPath() const {
  const QByteArray hash =
      QCryptographicHash::hash(applicationUri().toUtf8(), QCryptographicHash::Md5).toHex();
  return QStringLiteral("/com/canonical/unity/launcherentry/") + QString::fromLatin1(hash);
}

void LauncherBadge::setLabel(const QString& label) {
  m_label = label;
  bool isNumber = false;
  const qint64 count = label.toLongLong(&isNumber);
  QVariantMap properties;
  properties.insert(QStringLiteral("count"), isNumber ? count : 0);
  properties.insert(QStringLiteral("count-visible"), isNumber);
  QDBusMessage update =
      QDBusMessage::createSignal(objectPath(), kInterface, QStringLiteral("Update"));
  update << applicationUri() << properties;
  m_connection.send(update);
}

}  // namespace tessra::platform
