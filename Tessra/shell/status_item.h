// The program's item in the tray: a left click toggles the panel, a right click opens its menu
// (open the panel, feedback, share, updates, settings, quit), built afresh each time.
//
// It is started once by the application delegate and follows the setting "menuBarVisible".
// Without a tray on the desktop it shows nothing; the side button then stands in (see
// `AppDelegate::showOverlayButton`). Created on first use; destroyed as the application object
// begins to end, while the widget system still stands. GUI thread only.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

class QMenu;

namespace tessra {

class StatusItem final : public QObject {
  Q_OBJECT

 public:
  static StatusItem& shared();

  // Once only: the icon, the click handling and the visibility setting.
  void start();
  bool isStarted() const { return m_started; }

  // Whether the desktop has a tray to show the item in.
  static bool trayAvailable();
  // Where the item stands on screen (empty when it is not shown).
  QRect geometry() const;

  // The menu of a right click, made anew with `parent`.
  QMenu* makeMenu(QWidget* parent = nullptr);

  void openTessraAction();
  void openEmailAction();
  void copyEmailAction();
  void shareAction();
  void showSettingsAction();
  void quitApp();

 private:
  explicit StatusItem(QObject* parent = nullptr);
  void handleClick(QSystemTrayIcon::ActivationReason reason);
  void showMenu();
  void visibilityChanged();

  bool m_started = false;
  QSystemTrayIcon m_statusItem;
  const QString m_email;
};

}  // namespace tessra
