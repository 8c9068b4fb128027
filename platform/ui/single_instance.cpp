#include "platform/ui/single_instance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcessEnvironment>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

// Long enough for a first copy that is busy starting its browser.
constexpr int kActivationTimeoutMs = 10000;

}  // namespace

QString SingleInstance::serviceNameFor(const QString& name, const QString& display) {
  QString server = display;
  const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
  const qsizetype dot = server.indexOf(QLatin1Char('.'), colon + 1);
  if (colon >= 0 && dot > colon) server.truncate(dot);
  // A bus name's elements hold only ASCII letters, digits and underscores.
  QString element = QStringLiteral("display");
  for (const QChar c : server)
    element += c.unicode() < 128 && c.isLetterOrNumber() ? c : QLatin1Char('_');
  return name + QLatin1Char('.') + element;
}

SingleInstance::SingleInstance(const QString& name, QDBusConnection connection, QObject* parent)
    : QObject(parent),
      m_connection(std::move(connection)),
      m_serviceName(serviceNameFor(
          name, QProcessEnvironment::systemEnvironment().value(QStringLiteral("DISPLAY")))) {
  if (!m_connection.isConnected()) {
    logError("No session bus: a second start of the program cannot find this one");
    m_primary = true;
    return;
  }
  // The object answers before the name is ours, so a start that finds the name finds it too.
  m_registered =
      m_connection.registerObject(QString::fromLatin1(kPath), QString::fromLatin1(kInterface), this,
                                  QDBusConnection::ExportScriptableSlots);
  if (!m_registered) logError("Cannot answer later starts on the session bus");
  m_primary = m_connection.registerService(m_serviceName);
  if (m_primary) return;
  m_connection.unregisterObject(QString::fromLatin1(kPath));
  m_registered = false;
}

SingleInstance::~SingleInstance() {
  release();
  if (m_registered) m_connection.unregisterObject(QString::fromLatin1(kPath));
}

bool SingleInstance::activatePrimary() const {
  const QDBusMessage call =
      QDBusMessage::createMethodCall(m_serviceName, QString::fromLatin1(kPath),
                                     QString::fromLatin1(kInterface), QStringLiteral("Activate"));
  const QDBusMessage reply = m_connection.call(call, QDBus::BlockWithGui, kActivationTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    logError("The running copy did not answer: {}", reply.errorMessage().toStdString());
    return false;
  }
  return true;
}

void SingleInstance::release() {
  if (!m_primary || !m_connection.isConnected()) return;
  m_connection.unregisterService(m_serviceName);
  m_primary = false;
}

void SingleInstance::Activate() { emit activationRequested(); }

}  // namespace tessra::platform
