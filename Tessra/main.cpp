// Tessra's entry: a tray program on X11 whose floating chat panel slides in from a screen edge.
#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSessionManager>

#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/settings/settings_installation.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/dark_appearance.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/login_launch.h"
#include "Tessra/ui_foundation/focus_ring.h"
#include "platform/foundation/logger.h"
#include "platform/ui/event_loop_queue.h"
#include "platform/ui/qt_message_log.h"
#include "platform/ui/quit_signals.h"
#include "platform/ui/single_instance.h"
#include "platform/ui/x11_connection.h"

namespace {

// The embedded browser refuses to start its sandbox as root and ends the whole program with it;
// as root it runs without one. Read when the browser starts, so set before anything shows a page.
void allowTheBrowserToRunAsRoot() {
  if (::geteuid() != 0) return;
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  tessra::platform::logInfo("Running as root: the embedded browser runs without its sandbox");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessra;
  // The panel, the side button and the global shortcut need X11; Wayland desktops run the
  // program through XWayland.
  qputenv("QT_QPA_PLATFORM", "xcb");
  platform::routeQtMessagesToLogger();
  if (const auto reason = platform::X11Connection::unavailableReason()) {
    platform::logError("{}", *reason);
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessra"));
  QApplication::setDesktopFileName(QStringLiteral("tessra"));

  // One copy per session: a later start shows the running copy's panel, one at login only ends.
  platform::SingleInstance instance(QStringLiteral("org.tessra.Tessra"));
  if (!instance.isPrimary()) {
    if (login_launch::launchedAsLoginItem()) return 0;
    platform::logInfo("Tessra runs already: its panel is shown instead");
    return instance.activatePrimary() ? 0 : 1;
  }
  // The autostart entry starts the program at login; a session manager that restarted it as
  // well would only make a second start.
  QObject::connect(&app, &QGuiApplication::saveStateRequest, [](QSessionManager& manager) {
    manager.setRestartHint(QSessionManager::RestartNever);
  });

  allowTheBrowserToRunAsRoot();
  // The program lives in the tray: closing a window never ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  applyDarkAppearance(app);
  FocusRing::install();
  platform::runMainQueueOnEventLoop();
  platform::QuitOnSignals quitOnSignals;

  // Ctrl+V in the panel attaches a copied file, image or long text instead of typing it.
  FloatingController::setPasteboardAttachmentReader([] {
    const std::unique_ptr<QMimeData> pasted =
        copyForPaste(QGuiApplication::clipboard()->mimeData());
    return FloatingController::Paste{fromPasteboard(pasted.get()), pasted->text()};
  });
  installChatWindow();
  installNavigation();
  installSettings();
  AppDelegate delegate;
  QObject::connect(&instance, &platform::SingleInstance::activationRequested, &delegate,
                   &AppDelegate::reopen);
  QObject::connect(&delegate, &AppDelegate::relaunching, &instance,
                   &platform::SingleInstance::release);
  delegate.setUp();
  const int status = QApplication::exec();
  DetachedAnswerScreen::deleteAll();
  return status;
}
