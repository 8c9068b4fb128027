// The program's start-up and its hub: it starts telemetry, the tray item, the side button and
// the floating chat panel, shows and toggles the panel, follows the settings and the screens,
// and asks for a restart when the interface language changes.
//
//   AppDelegate delegate;   // in main: becomes AppDelegate::shared()
//   delegate.setUp();       // once the event loop is about to run
//
// Beside it live the program-wide values the windows share (GUI thread only, nothing locked):
// whether the panel is pinned, the count of open windows that need a taskbar entry, and `openURL`.
// Whether the chat view shows its side list (the panel is 200 wider then) is the settings'
// `sideBarVisible`, which the chat view's side pane keeps.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Tessra/shell/feed_updater.h"
#include "Tessra/shell/updater.h"
#include "platform/foundation/notification_center.h"
#include "shortcuts/shortcut.h"

class QScreen;
class QWidget;

namespace tessra {

class FloatingWindow;
class SideButtonWindow;

// While true, a click outside the panel leaves it open. Set by the chat view's pin command.
bool isWindowPinned();
void setWindowPinned(bool pinned);

// How many open windows need a taskbar entry (onboarding, settings, the update window). Counting
// up shows the program in the taskbar; counting down to 0 takes it out again. Never below 0.
int openDockWindowCount();
void countDockWindowUp();
void countDockWindowDown();

// Opens a link with the desktop (http, https and mailto only). Text that is no valid link logs
// "Invalid URL" and opens nothing; a link no program opened is told in a message with the link.
void openURL(const QString& text);

// Ends the program through its event loop, so that everything that hangs on the quit runs.
// (QCoreApplication::quit would first ask every window to close, and the panel only hides.)
void quitApp();

// Makes the first-start onboarding window around the function that starts the program; set by
// the onboarding's own code. Without one, the first start starts the program at once.
using OnboardingFactory = std::function<QWidget*(std::function<void()> startApp)>;
void setOnboardingFactory(OnboardingFactory factory);

class AppDelegate final : public QObject, public UpdaterDelegate {
  Q_OBJECT

 public:
  // The telemetry application identifier.
  static constexpr const char* kTelemetryAppID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4";

  // Becomes the shared instance and starts the update controller when there is a feed.
  explicit AppDelegate(QObject* parent = nullptr, std::optional<FeedUpdater::Options> updates =
                                                      FeedUpdater::optionsFromEnvironment());
  ~AppDelegate() override;

  // The instance, while there is one.
  static AppDelegate* shared();

  // The launch sequence: telemetry, observers, then `startApp()`. Runs once.
  void setUp();
  // The tray item, the global shortcut, the side button and, unless started at login, the panel
  // 0.3 s later.
  void startApp();

  // Closes the panel when it is shown (or about to be), else shows it.
  void toggleFloatingWindow();
  // Shows the panel after the 0.1 s show timer, on `screen` (the side button's) or else on the
  // main screen; creates it on first use.
  void showFloatingWindow(QScreen* screen = nullptr);
  // A later start of the program asked for it: raises the onboarding while it stands, else
  // shows the panel.
  void reopen();
  // Closes the panel when it is shown.
  void closeSidebar();
  // The interface language changed: offers a restart on the active window, when there is one.
  void showAlertToCloseTheApp();

  // The side button, shown on `screen` (where the click that closed the panel went), else on the
  // main screen.
  void showOverlayButton(QScreen* screen = nullptr);
  QRect overlayButtonFrame() const;
  void repositionOverlayButton();

  // The panel, once it has been shown; nullptr before.
  FloatingWindow* floatingWindow() const;
  // The side button's window while the button is shown, else nullptr.
  QWidget* buttonWindow() const;
  // The update controller; nullptr without an update feed.
  UpdaterController* updaterController() const { return m_updaterController; }
  // The onboarding window once the first start has shown it; kept for the whole run.
  QWidget* onboarding() const { return m_onboarding; }

  // What the update controller reports.
  void updaterWillScheduleUpdateCheck() override;
  bool supportsGentleScheduledUpdateReminders() const override { return true; }
  void standardUserDriverWillHandleShowingUpdate(const UpdateItem& update,
                                                 const UserUpdateState& state) override;
  void standardUserDriverDidReceiveUserAttention(const UpdateItem& update) override;
  void standardUserDriverWillFinishUpdateSession() override;

  // The identifier of the update notification.
  static constexpr const char* kUpdateNotification = "UpdateCheck";
  // The identifier of the notification that another program holds the global shortcut.
  static constexpr const char* kShortcutTakenNotification = "GlobalShortcutTaken";

 signals:
  // The language-change alert was put up on `window`.
  void languageAlertShown(QWidget* window);
  // The new copy is about to start: whatever would make it a later start of this one (the
  // session's one-copy name) must be given up now.
  void relaunching();

 private:
  // Toggles the panel on the key-down of `openTessraGlobal`.
  void registerGlobalShortcut();
  // The toggle of the shortcut: a show holds the keys typed after it for the panel.
  void toggleFromShortcut();
  // The shortcut of `openTessraGlobal` while another program holds it, else nothing.
  static std::optional<shortcuts::Shortcut> takenShortcut();
  // Tells the user through the desktop that the shortcut is held, for a start that shows no
  // panel (at login): the panel's notice says it where the panel shows.
  void notifyShortcutTaken();
  // Shows the panel's notice of the held shortcut while it is held and the user has not
  // dismissed the notice of that shortcut; takes it away otherwise.
  void updateShortcutNotice();
  // The end of the show timer: the panel slides in, or waits for a screen to show on.
  void orderFloatingWindowFront();
  void setUpTelemetry();
  void displayConfigurationChanged();
  void didChangeScreenNotification();
  void overlayVisibilityChanged();
  void removeOverlayButton();
  // The language-change question, as a sheet of `window`.
  void askToRestart(QWidget* window);
  void relaunch();
  void notificationActivated(const QString& identifier, const QString& action);

  QPointer<FloatingWindow> m_floatingWindow;
  QPointer<SideButtonWindow> m_buttonWindow;
  FeedUpdater* m_updaterController = nullptr;
  QPointer<QWidget> m_onboarding;
  QTimer m_telemetryTimer;
  QTimer m_showTimer;
  // Where the show under way puts the panel; null: the main screen.
  QPointer<QScreen> m_showScreen;
  // A show came while no screen had a mode; the next screen shows the panel.
  bool m_showAwaitingScreen = false;
  // The show under way answers the global shortcut.
  bool m_showFromShortcut = false;
  bool m_setUp = false;
  // The held shortcut whose notice the user dismissed: seen once is enough for this run.
  std::optional<shortcuts::Shortcut> m_dismissedShortcutNotice;
  std::vector<platform::NotificationCenter::ObserverToken> m_observers;
};

}  // namespace tessra
