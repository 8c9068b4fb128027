// The program's start-up and its hub: it starts telemetry, the tray item, the side button and
// the floating chat panel, shows and toggles the panel, follows the settings and the screens,
// and asks for a restart when the interface language changes.
//
//   AppDelegate delegate;   // in main: becomes AppDelegate::shared()
//   delegate.setUp();       // once the event loop is about to run
//
// Beside it live the program-wide values the windows share (GUI thread only, nothing locked):
// whether the panel is pinned, whether the chat view's side list is shown, the count of open
// windows that need a taskbar entry, and `openURL`.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <memory>
#include <vector>

#include "platform/foundation/notification_center.h"

class QWidget;

namespace tessra {

class FloatingWindow;
class SideButtonWindow;

// While true, a click outside the panel leaves it open. Set by the chat view's pin command.
bool isWindowPinned();
void setWindowPinned(bool pinned);

// Whether the chat view shows its side list (the panel is 200 wider then). Read once, at first
// use, from the setting "sideBarVisible"; the chat view sets it (and stores the setting itself).
bool sideBarVisible();
void setSideBarVisible(bool visible);

// How many open windows need a taskbar entry (onboarding, settings, the update window). Counting
// up shows the program in the taskbar; counting down to 0 takes it out again. Never below 0.
int openDockWindowCount();
void countDockWindowUp();
void countDockWindowDown();

// Opens a link with the desktop (http, https and mailto only). Text that is no valid link logs
// "Invalid URL" and opens nothing.
void openURL(const QString& text);

class AppDelegate final : public QObject {
  Q_OBJECT

 public:
  // The telemetry application identifier.
  static constexpr const char* kTelemetryAppID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4";

  // Becomes the shared instance.
  explicit AppDelegate(QObject* parent = nullptr);
  ~AppDelegate() override;

  // The instance, while there is one.
  static AppDelegate* shared();

  // The launch sequence: telemetry, observers, then `startApp()`. Runs once.
  void setUp();
  // The tray item, the side button and, unless started at login, the panel 0.3 s later.
  void startApp();

  // Closes the panel when it is shown (or about to be), else shows it.
  void toggleFloatingWindow();
  // Shows the panel after the 0.1 s show timer; creates it on first use.
  void showFloatingWindow();
  // Closes the panel when it is shown.
  void closeSidebar();

  // The side button.
  void showOverlayButton();
  QRect overlayButtonFrame() const;
  void repositionOverlayButton();

  // The panel, once it has been shown; nullptr before.
  FloatingWindow* floatingWindow() const;
  // The side button's window while the button is shown, else nullptr.
  QWidget* buttonWindow() const;

 signals:
  // The language-change alert was put up on `window`.
  void languageAlertShown(QWidget* window);

 private:
  void setUpTelemetry();
  void displayConfigurationChanged();
  void didChangeScreenNotification();
  void showAlertToCloseTheApp();
  void overlayVisibilityChanged();
  void removeOverlayButton();
  void relaunch();

  QPointer<FloatingWindow> m_floatingWindow;
  QPointer<SideButtonWindow> m_buttonWindow;
  QTimer m_telemetryTimer;
  QTimer m_showTimer;
  bool m_setUp = false;
  std::vector<platform::NotificationCenter::ObserverToken> m_observers;
};

}  // namespace tessra
