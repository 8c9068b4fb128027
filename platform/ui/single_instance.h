// One copy of the program per desktop session. The first start takes a well-known name on the
// session bus and answers there; a later start finds the name taken and, instead of running a
// second copy, asks the first one to show itself.
//
//   SingleInstance instance(QStringLiteral("org.tessra.Tessra"));
//   if (!instance.isPrimary()) return instance.activatePrimary() ? 0 : 1;
//   connect(&instance, &SingleInstance::activationRequested, ...);
//
// The name is the given one followed by the X display ("org.tessra.Tessra.display_0"): a user
// bus can serve several displays at once (a local desktop and a remote one), and each of them
// has its own copy. Two starts at the same moment cannot both win, since the bus gives the name
// to one of them. Without a session bus every start counts as the first. GUI thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace tessra::platform {

class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  // The object and interface the first copy answers at.
  static constexpr const char* kPath = "/org/tessra/SingleInstance";
  static constexpr const char* kInterface = "org.tessra.SingleInstance";

  // Tries to take the name at once.
  explicit SingleInstance(const QString& name,
                          QDBusConnection connection = QDBusConnection::sessionBus(),
                          QObject* parent = nullptr);
  ~SingleInstance() override;

  // Whether this copy holds the name (or runs without a session bus).
  bool isPrimary() const { return m_primary; }
  // The bus name, display included.
  const QString& serviceName() const { return m_serviceName; }

  // Asks the copy that holds the name to show itself; false (logged) when it does not answer.
  bool activatePrimary() const;
  // Gives the name up, so that a copy started from now on (a restart) becomes the first.
  void release();

  // `name` with the display's element for DISPLAY=`display` (":0.0" and ":0" are one display).
  static QString serviceNameFor(const QString& name, const QString& display);

 public slots:
  // The bus method a later start calls (public, as the bus exports only public slots; named in
  // the bus's upper camel case): emits `activationRequested`.
  Q_SCRIPTABLE void Activate();

 signals:
  // A later start asked this copy to show itself.
  void activationRequested();

 private:
  QDBusConnection m_connection;
  QString m_serviceName;
  bool m_primary = false;
  bool m_registered = false;
};

}  // namespace tessra::platform
