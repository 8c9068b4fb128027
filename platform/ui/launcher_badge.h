// The badge on the program's launcher icon (a count on its taskbar or dock entry), announced on
// the session bus as com.canonical.Unity.LauncherEntry, which the desktops' docks and task
// managers follow.
//
//   LauncherBadge::shared().setLabel("1");  // a badge with 1
//   LauncherBadge::shared().setLabel("");   // no badge
//
// The badge can show a number only: a label that is not one shows no badge. GUI thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace tessra::platform {

class LauncherBadge final : public QObject {
  Q_OBJECT

 public:
  static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";

  // The program's entry ("application://tessra.desktop") on the session bus.
  static LauncherBadge& shared();

  LauncherBadge(QDBusConnection connection, QString desktopFileName, QObject* parent = nullptr);

  const QString& label() const { return m_label; }
  void setLabel(const QString& label);

  // The object path the updates are sent from.
  QString objectPath() const;
  QString applicationUri() const;

 private:
  QDBusConnection m_connection;
  QString m_desktopFileName;
  QString m_label;
};

}  // namespace tessra::platform
