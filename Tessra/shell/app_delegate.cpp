#include "Tessra/shell/app_delegate.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <optional>
#include <utility>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/shell/app_environment.h"
#include "Tessra/shell/config.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/shell/login_launch.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/shell/side_button_window.h"
#include "Tessra/shell/status_item.h"
#include "Tessra/shell/usage_signals.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/confirm.h"
#include "platform/foundation/logger.h"
#include "platform/ui/desktop_notifications.h"
#include "platform/ui/hot_keys.h"
#include "platform/ui/launcher_badge.h"
#include "platform/ui/opened_windows.h"
#include "platform/ui/screens.h"
#include "platform/ui/taskbar_policy.h"
#include "platform/ui/url_opener.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/recorder_texts.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;

AppDelegate* g_shared = nullptr;
bool g_windowPinned = false;

constexpr auto kTelemetryInterval = 24h;
constexpr auto kShowDelay = 100ms;
constexpr auto kFirstShowDelay = 300ms;

}  // namespace

bool isWindowPinned() { return g_windowPinned; }
void setWindowPinned(bool pinned) { g_windowPinned = pinned; }

int openDockWindowCount() { return platform::TaskbarPolicy::shared().openWindowCount(); }
void countDockWindowUp() { platform::TaskbarPolicy::shared().countUp(); }
void countDockWindowDown() { platform::TaskbarPolicy::shared().countDown(); }

void openURL(const QString& text) {
  const QUrl url(text, QUrl::StrictMode);
  if (text.trimmed().isEmpty() || !url.isValid()) {
    platform::logDebug("Invalid URL");
    return;
  }
  platform::openExternally(url, [text] {
    // Said where the user is looking, with the link to copy into a program of their choice.
    auto* notice = new QMessageBox(QMessageBox::Information, LocalizedText::General::tessraAI(),
                                   LocalizedText::MessagePage::cannotOpenLink(), QMessageBox::Ok);
    notice->setInformativeText(text);
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->open();
  });
}

void quitApp() { QCoreApplication::exit(0); }

namespace {

OnboardingFactory& onboardingFactory() {
  static OnboardingFactory factory;
  return factory;
}

}  // namespace

void setOnboardingFactory(OnboardingFactory factory) { onboardingFactory() = std::move(factory); }

AppDelegate::AppDelegate(QObject* parent, std::optional<FeedUpdater::Options> updates)
    : QObject(parent) {
  g_shared = this;
  if (updates) m_updaterController = new FeedUpdater(std::move(*updates), this, this);
  connect(&platform::DesktopNotifications::shared(), &platform::DesktopNotifications::activated,
          this, &AppDelegate::notificationActivated);
  m_showTimer.setSingleShot(true);
  m_showTimer.setInterval(kShowDelay);
  connect(&m_showTimer, &QTimer::timeout, this, &AppDelegate::orderFloatingWindowFront);
  // Every quit path (the tray's Quit, a signal, the end of the session) runs through the event
  // loop and passes here, so telemetry keeps what it has not sent.
  connect(qApp, &QCoreApplication::aboutToQuit, this,
          [] { usage_signals::applicationWillTerminate(); });
}

AppDelegate::~AppDelegate() {
  delete m_updaterController;
  delete m_onboarding.data();
  if (g_shared == this) g_shared = nullptr;
  delete m_buttonWindow.data();
  delete m_floatingWindow.data();
}

AppDelegate* AppDelegate::shared() { return g_shared; }

void AppDelegate::setUp() {
  if (m_setUp) return;
  m_setUp = true;
  if (app_environment::isRunningForPreviews()) return;
  // The shortcut's own texts, its notices among them, read in the program's language.
  shortcuts::setRecorderLanguage(
      QString::fromStdString(UserSettings::shared().chosenLanguageCode().value_or(std::string())));
  setUpTelemetry();
  // Nothing is counted yet: the program starts off the taskbar.
  countDockWindowDown();

  auto& center = platform::NotificationCenter::defaultCenter();
  auto observe = [&](std::string_view name, void (AppDelegate::*handler)()) {
    m_observers.push_back(center.addObserver(
        std::string(name), [this, handler](const platform::Notification&) { (this->*handler)(); }));
  };
  auto& settings = UserSettings::shared();
  settings.onValueChanged(setting::floatingWindowSize, this, &AppDelegate::closeSidebar);
  settings.onValueChanged(setting::popupPadding, this, &AppDelegate::closeSidebar);
  settings.onValueChanged(setting::popupPosition, this, &AppDelegate::closeSidebar);
  connect(&platform::Screens::shared(), &platform::Screens::parametersChanged, this,
          &AppDelegate::displayConfigurationChanged);
  // The notification, not the signal: it comes only when the language really changed.
  observe(notification_names::kAppLanguageChanged, &AppDelegate::showAlertToCloseTheApp);
  settings.onValueChanged(setting::overlayIconVisible, this,
                          &AppDelegate::overlayVisibilityChanged);
  // A shortcut recorded anew is grabbed (or refused) before the panel's notice is reconsidered.
  m_observers.push_back(center.addObserver(
      shortcuts::GlobalShortcuts::kShortcutByNameDidChange, [this](const platform::Notification&) {
        QMetaObject::invokeMethod(this, &AppDelegate::updateShortcutNotice, Qt::QueuedConnection);
      }));

  // The very first start leads through the onboarding, whose end starts the program. The flag
  // is set first, so the onboarding appears once, also when it is left by quitting.
  if (!settings.value(setting::onboardingPresented) && onboardingFactory()) {
    settings.setValue(setting::onboardingPresented, true);
    m_onboarding = onboardingFactory()([this] { startApp(); });
    m_onboarding->show();
    centerInWorkArea(m_onboarding);
    m_onboarding->raise();
    m_onboarding->activateWindow();
    return;
  }
  startApp();
}

void AppDelegate::setUpTelemetry() {
  usage_signals::initialize(kTelemetryAppID);
  m_telemetryTimer.stop();
  m_telemetryTimer.disconnect();
  m_telemetryTimer.setInterval(kTelemetryInterval);
  connect(&m_telemetryTimer, &QTimer::timeout, this, [] { usage_signals::send("ping"); });
  m_telemetryTimer.start();
  usage_signals::send("ping");
}

void AppDelegate::startApp() {
  // The tray's menu shows the shortcut once the program holds it.
  registerGlobalShortcut();
  StatusItem::shared().start();
  showOverlayButton();
  if (!login_launch::launchedAsLoginItem()) {
    QTimer::singleShot(kFirstShowDelay, this, &AppDelegate::toggleFloatingWindow);
    return;
  }
  notifyShortcutTaken();
}

void AppDelegate::registerGlobalShortcut() {
  const QPointer<AppDelegate> self(this);
  shortcuts::GlobalShortcuts::onKeyDown(openTessraGlobal(), [self] {
    if (self) self->toggleFromShortcut();
  });
}

void AppDelegate::toggleFromShortcut() {
  toggleFloatingWindow();
  m_showFromShortcut = m_showTimer.isActive();
  // People type their question straight after the shortcut, as into a launcher, while the panel
  // is still on its way: the keys are held for it until it has the keyboard.
  if (m_showTimer.isActive() &&
      !platform::HotKeys::shared().holdKeyboardFor(m_floatingWindow->windowHandle()))
    platform::logDebug(
        "The keyboard is held by another client: keys typed before the panel shows "
        "go where they went");
}

std::optional<shortcuts::Shortcut> AppDelegate::takenShortcut() {
  const auto shortcut = openTessraGlobal().shortcut();
  if (!shortcut || shortcuts::GlobalShortcuts::isRegistered(*shortcut)) return std::nullopt;
  return shortcut;
}

void AppDelegate::notifyShortcutTaken() {
  const auto shortcut = takenShortcut();
  if (!shortcut) return;
  // Told once per start: the user would otherwise press it and wonder why nothing opens.
  platform::DesktopNotifications::shared().add(
      QString::fromLatin1(kShortcutTakenNotification),
      shortcuts::recorderText("shortcut_not_active")
          .arg(QString::fromStdString(shortcut->description())),
      shortcuts::recorderText("keyboard_shortcut_used_by_system"));
}

void AppDelegate::updateShortcutNotice() {
  if (!m_floatingWindow) return;
  FloatingController* panel = m_floatingWindow->controller();
  const auto shortcut = takenShortcut();
  if (!shortcut || shortcut == m_dismissedShortcutNotice) {
    panel->hideNotice();
    return;
  }
  panel->showNotice(shortcuts::recorderText("shortcut_not_active")
                        .arg(QString::fromStdString(shortcut->description())),
                    shortcuts::recorderText("keyboard_shortcut_used_by_system"));
}

void AppDelegate::toggleFloatingWindow() {
  // A show still waiting for its timer or for a screen counts as shown: the last request wins.
  if (m_showTimer.isActive() || m_showAwaitingScreen) {
    m_showTimer.stop();
    m_showAwaitingScreen = false;
    platform::HotKeys::shared().dropHeldKeys();
    return;
  }
  if (m_floatingWindow && m_floatingWindow->isPanelShown()) {
    // Keys held for a panel that slides in but has not taken the keyboard yet go nowhere.
    platform::HotKeys::shared().dropHeldKeys();
    m_floatingWindow->close();
    return;
  }
  showFloatingWindow();
}

void AppDelegate::showFloatingWindow(QScreen* screen) {
  m_showScreen = screen;
  if (!m_floatingWindow) {
    m_floatingWindow = new FloatingWindow;
    connect(m_floatingWindow, &FloatingWindow::triggerVisibilityRequested, this,
            [this](bool visible) {
              if (!visible) {
                removeOverlayButton();
                return;
              }
              // A click elsewhere closed the panel: the user now works where it went, which is
              // not yet the main screen (the panel still has the keyboard, and the window manager
              // has yet to make the clicked window the active one).
              const auto press = m_floatingWindow->closingPress();
              showOverlayButton(press ? QGuiApplication::screenAt(*press) : nullptr);
            });
    m_floatingWindow->setOwnAreaTest(
        [](const QPoint& point) { return StatusItem::shared().geometry().contains(point); });
    m_floatingWindow->winId();
    // People press Escape and type on at once into the window they go back to: those keys wait
    // until the panel has read Escape and given the keyboard back.
    const auto escape =
        platform::HotKeys::shared().grabInWindow(m_floatingWindow->windowHandle(), {"ESC", 0});
    if (!escape && escape.error() != platform::GrabFailure::noDisplay)
      platform::logError(
          "Escape cannot be held for the panel: keys typed right after it may "
          "reach the panel");
    // Queued: Qt sends the panel to another screen from inside its handling of a screen change,
    // where no window of ours may move yet (platform::Screens says why).
    connect(m_floatingWindow->windowHandle(), &QWindow::screenChanged, this,
            &AppDelegate::didChangeScreenNotification, Qt::QueuedConnection);
    connect(m_floatingWindow->controller(), &FloatingController::noticeDismissed, this,
            [this] { m_dismissedShortcutNotice = takenShortcut(); });
  }
  updateShortcutNotice();
  // The panel stands above every window, a notification of the desktop's too: its own notice
  // tells what the notification told.
  platform::DesktopNotifications::shared().removeDelivered(
      QString::fromLatin1(kShortcutTakenNotification));
  m_showFromShortcut = false;
  m_showTimer.start();
}

void AppDelegate::orderFloatingWindowFront() {
  if (!m_floatingWindow) return;
  // With every output switched off there is nowhere to show the panel: it comes with the first
  // screen, in that screen's work area.
  m_showAwaitingScreen = platform::Screens::mainScreen() == nullptr;
  if (m_showAwaitingScreen) return;
  m_floatingWindow->controller()->recalculateSize(m_showScreen);
  m_floatingWindow->makeKeyAndOrderFront(std::exchange(m_showFromShortcut, false));
}

void AppDelegate::reopen() {
  if (m_onboarding && m_onboarding->isVisible()) {
    m_onboarding->raise();
    m_onboarding->activateWindow();
    return;
  }
  showFloatingWindow();
}

void AppDelegate::closeSidebar() {
  if (m_floatingWindow && m_floatingWindow->isPanelShown()) m_floatingWindow->close();
}

void AppDelegate::displayConfigurationChanged() {
  if (m_showAwaitingScreen) m_showTimer.start();
  if (m_floatingWindow) {
    // A menu, dialog or question of the panel stands where it was opened, wherever the panel goes.
    const QWindow* panel = m_floatingWindow->windowHandle();
    const platform::OpenedWindowPlaces opened(panel);
    // A monitor added or taken away beside the panel's leaves the panel where it stands, and its
    // sheets and lists open; a panel placed anew closes them.
    const bool moved = m_floatingWindow->controller()->recalculateSizeIfMoved();
    const QScreen* screen =
        moved ? QGuiApplication::screenAt(m_floatingWindow->frameGeometry().center()) : nullptr;
    if (screen != nullptr) {
      // The rest go with it, with the keyboard and what the user typed in them, so that the Escape
      // meant for one closes only that.
      opened.followInto(platform::Screens::workArea(screen));
    } else {
      // One that the new monitors leave off every one of them would keep the keyboard there: it
      // closes as its Cancel would, and the keyboard goes back to the panel. One still on a
      // monitor stays open, with what the user typed or chose in it.
      platform::closeWindowsLeftBehind(panel);
    }
    platform::logDebug("The monitors changed: the panel {}", moved ? "moved" : "stays");
  }
  if (m_buttonWindow) m_buttonWindow->setGeometry(overlayButtonFrame());
}

void AppDelegate::didChangeScreenNotification() { repositionOverlayButton(); }

QWidget* AppDelegate::buttonWindow() const { return m_buttonWindow; }

FloatingWindow* AppDelegate::floatingWindow() const { return m_floatingWindow; }

void AppDelegate::showOverlayButton(QScreen* screen) {
  if (m_buttonWindow) return;
  // Without a tray the side button is the only way in: it shows whatever the setting says (and
  // the setting stays as the user left it).
  if (!UserSettings::shared().value(setting::overlayIconVisible) && StatusItem::trayAvailable())
    return;
  m_buttonWindow = new SideButtonWindow;
  // The panel opens beside the button clicked, wherever the active window is.
  connect(m_buttonWindow, &SideButtonWindow::clicked, this,
          [this] { showFloatingWindow(m_buttonWindow->screen()); });
  // Placed once: the button changes screens only where it is placed (here, or anew when the
  // screens change), which is no reason to place it again on the main screen of the moment, the
  // hiding panel's.
  m_buttonWindow->setGeometry(SideButtonWindow::overlayButtonFrame(screen));
  m_buttonWindow->show();
  m_buttonWindow->raise();
}

QRect AppDelegate::overlayButtonFrame() const { return SideButtonWindow::overlayButtonFrame(); }

void AppDelegate::repositionOverlayButton() {
  const QRect frame = overlayButtonFrame();
  if (m_buttonWindow && m_buttonWindow->geometry() != frame) m_buttonWindow->setGeometry(frame);
}

void AppDelegate::removeOverlayButton() {
  if (!m_buttonWindow) return;
  m_buttonWindow->hide();
  m_buttonWindow->deleteLater();
  m_buttonWindow = nullptr;
}

void AppDelegate::overlayVisibilityChanged() {
  if (UserSettings::shared().value(setting::overlayIconVisible) || !StatusItem::trayAvailable()) {
    showOverlayButton();
  } else {
    removeOverlayButton();
  }
}

void AppDelegate::showAlertToCloseTheApp() {
  QWidget* window = QApplication::activeWindow();
  if (window == nullptr) return;
  // A list chosen by keyboard takes its entry when the Return is first offered to it, before the
  // press itself is delivered: a question put up at once would get that very press, and restart
  // before anyone saw it. It goes up once the key that asked is done with, and waits for the next.
  QMetaObject::invokeMethod(
      this,
      [this, window = QPointer<QWidget>(window)] {
        if (window) askToRestart(window);
      },
      Qt::QueuedConnection);
}

void AppDelegate::askToRestart(QWidget* window) {
  auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Language Change"),
                                QStringLiteral("Language Change"), QMessageBox::NoButton, window);
  alert->setInformativeText(QStringLiteral(
      "You have changed the app language. To apply these changes, the app must be restarted."));
  QPushButton* restart = alert->addButton(QStringLiteral("Restart Now"), QMessageBox::AcceptRole);
  alert->addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
  // Return restarts whatever order the desktop lays the buttons out in, which would otherwise
  // make the first of them in that order the default.
  alert->setDefaultButton(restart);
  alert->setWindowModality(Qt::WindowModal);
  alert->setAttribute(Qt::WA_DeleteOnClose);
  widenToItsText(*alert);
  connect(alert, &QMessageBox::finished, this, [this, alert, restart] {
    if (alert->clickedButton() == restart) relaunch();
  });
  alert->open();
  emit languageAlertShown(window);
}

void AppDelegate::relaunch() {
  QStringList arguments = QCoreApplication::arguments().mid(1);
  arguments.removeAll(login_launch::kArgument.toString());
  emit relaunching();
  if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments))
    platform::logError("Could not start Tessra again; quitting anyway");
  quitApp();
}

void AppDelegate::updaterWillScheduleUpdateCheck() {
  // The desktop's notifications need no permission.
}

void AppDelegate::standardUserDriverWillHandleShowingUpdate(const UpdateItem& update,
                                                            const UserUpdateState& state) {
  countDockWindowUp();
  if (state.userInitiated) return;
  platform::LauncherBadge::shared().setLabel(QStringLiteral("1"));
  platform::DesktopNotifications::shared().add(
      QString::fromLatin1(kUpdateNotification), LocalizedText::General::updaterTitle(),
      LocalizedText::General::updaterDescription(update.displayVersionString));
}

void AppDelegate::standardUserDriverDidReceiveUserAttention(const UpdateItem&) {
  platform::LauncherBadge::shared().setLabel(QString());
  platform::DesktopNotifications::shared().removeDelivered(
      QString::fromLatin1(kUpdateNotification));
}

void AppDelegate::standardUserDriverWillFinishUpdateSession() { countDockWindowDown(); }

void AppDelegate::notificationActivated(const QString& identifier, const QString& action) {
  if (identifier == QLatin1String(kUpdateNotification) &&
      action == QLatin1String(platform::DesktopNotifications::kDefaultAction) &&
      m_updaterController != nullptr)
    m_updaterController->checkForUpdates();
}

}  // namespace tessra
