// The program's item in the tray: a left click toggles the panel, a right click opens its menu
// (open the panel, feedback, share, updates, settings, quit).
//
// The menu is the item's context menu for the whole run, so that the tray shows it however it
// hosts items: an XEmbed tray's click reaches the icon's own window, which pops the menu up; a tray
// that hosts items over D-Bus (StatusNotifierItem) shows the menu the item exports there. Its
// entries are brought up to date each time it opens, and as their state changes.
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
  ~StatusItem() override;

  // Once only: the icon, the click handling and the visibility setting.
  void start();
  bool isStarted() const { return m_started; }

  // Whether the desktop has a tray to show the item in.
  static bool trayAvailable();
  // Where the item stands on screen (empty when it is not shown).
  QRect geometry() const;

  // A menu of the item's entries, made anew with `parent`; each time it is about to show, its
  // entries take their current texts, enabled states and shortcuts.
  QMenu* makeMenu(QWidget* parent = nullptr);
  // The menu the tray shows (null before `start()`).
  QMenu* contextMenu() const { return m_menu.get(); }

  // The same toggle as a left click on the icon.
  void openTessraAction();
  void openEmailAction();
  void copyEmailAction();
  void shareAction();
  void showSettingsAction();
  void quitApp();

 private:
  explicit StatusItem(QObject* parent = nullptr);
  void handleClick(QSystemTrayIcon::ActivationReason reason);
  void checkForUpdatesAction();
  void visibilityChanged();

  bool m_started = false;
  // Declared before the icon, which refers to it until its end.
  std::unique_ptr<QMenu> m_menu;
  QSystemTrayIcon m_statusItem;
  const QString m_email;
};

}  // namespace tessra
