// Tessra's entry: a tray program on X11 whose floating chat panel slides in from a screen edge.
#include <unistd.h>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSessionManager>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Tessra/chat_engine/chat_gpt_api.h"
#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/chat_window_installation.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/settings/settings_installation.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/dark_appearance.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/login_launch.h"
#include "Tessra/storage/chat_session_manager.h"
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

// How long an end waits for the requests it stopped to wind down. A stopped request lets go at
// once unless it is reading its vocabulary or counting a long conversation's tokens, which it
// finishes first.
constexpr std::chrono::seconds kRequestsWindDown{2};

// Ends the work under way while everything it uses still lives, however the program ends: every
// answer stops where it stands and is kept as a stop keeps it, the requests wind down on their
// workers, and the conversation files hold the last of it. False when a request is still at work.
bool endWorkInProgress() {
  using namespace tessra;
  AnswerTask::stopAll();
  const bool woundDown = ChatGPTAPI::shared().stopRequests(kRequestsWindDown);
  ChatSessionManager::shared().waitForSaves();
  return woundDown;
}

// Ends the process at once, without tearing down its objects, which a request still at work would
// meet half destroyed. Everything the user wrote is in its file by then.
[[noreturn]] void endWithoutTeardown(int status) {
  tessra::platform::logError(
      "A stopped request was still at work at the end: the program ends without tearing down");
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessra;
  platform::QuitOnSignals::unblock();
  // The panel, the side button and the global shortcut need X11; Wayland desktops run the
  // program through XWayland.
  qputenv("QT_QPA_PLATFORM", "xcb");
  platform::routeQtMessagesToLogger();
  if (const auto reason = platform::X11Connection::unavailableReason()) {
    platform::logError("{}", *reason);
    return 1;
  }

  QApplication app(argc, argv);
  // Qt ends the process itself (status 1) when the display goes, without a quit of the event loop.
  platform::setDisplayLostHandler([] {
    if (!endWorkInProgress()) endWithoutTeardown(1);
  });
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
  if (!endWorkInProgress()) endWithoutTeardown(status);
  DetachedAnswerScreen::deleteAll();
  return status;
}
