#include "Tessra/shell/floating_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>

#include <algorithm>
#include <optional>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "platform/ui/keyboard_focus.h"
#include "platform/ui/opened_windows.h"

namespace tessra {

namespace {
constexpr int kCornerRadius = 16;
// How long after the shortcut shows the panel other clients may still hand the keyboard on as its
// grab settles (a popup that lost the keyboard to it closes, and the window manager gives the
// keyboard to the next window of its list); the panel keeps it meanwhile, unless the user acts
// elsewhere.
constexpr std::chrono::milliseconds kKeyboardSettles{1000};
}  // namespace

FloatingWindow::FloatingWindow(QWidget* parent)
    : OverlayWindow(parent),
      m_controller(new FloatingController(this)),
      m_monitor(platform::GlobalEventMonitor::leftMouseDown,
                [this](const platform::GlobalMouseEvent& event) { outsideClick(event); }) {
  setWindowTitle(QStringLiteral("Tessra"));
  setRoundedCorners(kCornerRadius, topLeft | bottomLeft);
  connect(m_controller, &FloatingController::slideFinished, this, &FloatingWindow::slideFinished);
  // The tray menu shows Ctrl+Q beside its Quit; in the panel the keys do what they promise.
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, [] { quitApp(); });
}

FloatingWindow::~FloatingWindow() = default;

bool FloatingWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
      break;
    default:
      return false;
  }
  if (isPanelShown() || !isVisible()) return false;
  const bool inPanel =
      watched == windowHandle() ||
      (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this);
  if (!inPanel) return false;
  // Keys that reached the panel before it gave the keyboard back (the program was too busy to
  // read the hiding key in time) are dropped: typed for another window, they never wait in the
  // prompt for the next show. Taken as the panel's own, so that no shortcut sets off either.
  event->accept();
  return true;
}

void FloatingWindow::setOwnAreaTest(std::function<bool(const QPoint&)> test) {
  m_ownAreaTest = std::move(test);
}

bool FloatingWindow::isPanelShown() const {
  if (m_pending) return *m_pending == Request::show;
  return m_shown;
}

void FloatingWindow::makeKeyAndOrderFront(bool fromShortcut) {
  m_closingPress.reset();
  qApp->removeEventFilter(this);
  if (m_controller->isAnimating()) {
    // A hide asked for while the panel slides in gave the keyboard away: it takes it back.
    if (m_shown && m_pending == Request::hide) takeInputFocus();
    m_pending = Request::show;
    return;
  }
  m_pending.reset();
  // Watching before the panel takes the keyboard, so that no hand-over escapes.
  if (!m_shown && fromShortcut && m_monitor.start())
    m_monitor.keepKeyboardIn(windowHandle(), kKeyboardSettles);
  showAndFocus();
  if (m_shown) return;
  m_shown = true;
  emit triggerVisibilityRequested(false);
  m_controller->animateIn();
  m_pastFrames.clear();
  m_monitor.start();
}

void FloatingWindow::close() { slideOut(true); }

void FloatingWindow::slideOut(bool returnKeyboard) {
  // People go back to their work at once, typing: from here on every key goes to the window that
  // had the keyboard before the panel, not to a panel that is only on its way out.
  if (isPanelShown()) {
    m_monitor.stopKeepingKeyboard();
    // Asked before the filters of the panel's content, which would send stray typing to the
    // prompt (a filter installed last is asked first).
    qApp->installEventFilter(this);
    // Nothing the panel opened (its lists, sheets, menus, dialogs) stays on the desktop without
    // it, holding the keyboard: each closes as its Cancel would, before the keyboard goes back.
    // After a press elsewhere none hands it back to the panel: it is the pressed window's.
    {
      std::optional<platform::KeyboardStaysPut> staysPut;
      if (!returnKeyboard) staysPut.emplace();
      platform::closeWindowsOpenedOver(windowHandle());
    }
    if (returnKeyboard && windowHandle() != nullptr)
      platform::KeyboardKeeper::of(windowHandle()).returnKeyboard();
  }
  if (m_controller->isAnimating()) {
    m_pending = Request::hide;
    return;
  }
  m_pending.reset();
  if (!m_shown) return;
  m_shown = false;
  emit triggerVisibilityRequested(true);
  m_controller->animateOut([this] {
    m_monitor.stop();
    hide();
  });
}

void FloatingWindow::moveEvent(QMoveEvent* event) {
  OverlayWindow::moveEvent(event);
  frameChanged();
}

void FloatingWindow::resizeEvent(QResizeEvent* event) {
  OverlayWindow::resizeEvent(event);
  // The controller fills the panel, which its settings size: no layout asks it for a size hint,
  // which every slide frame would have it solve again.
  m_controller->setGeometry(rect());
  frameChanged();
}

void FloatingWindow::frameChanged() {
  const QRect frame = frameGeometry();
  if (frame == m_frame) return;
  // A press that happened before the change, which the program has yet to get to, was in the
  // frame the panel had then.
  if (m_monitor.isRunning()) m_pastFrames.push_back({std::chrono::steady_clock::now(), m_frame});
  m_frame = frame;
}

QRect FloatingWindow::takeFrameAt(std::chrono::steady_clock::time_point time) {
  const auto later = std::find_if(m_pastFrames.begin(), m_pastFrames.end(),
                                  [&](const PastFrame& past) { return time < past.until; });
  m_pastFrames.erase(m_pastFrames.begin(), later);
  return m_pastFrames.empty() ? m_frame : m_pastFrames.front().frame;
}

void FloatingWindow::closeEvent(QCloseEvent* event) {
  // Whatever asks the window to close (the desktop, a shortcut), it slides out and stays alive.
  event->ignore();
  close();
}

void FloatingWindow::slideFinished() {
  emit panelVisibilityChanged(m_shown);
  const std::optional<Request> pending = std::exchange(m_pending, std::nullopt);
  if (pending == Request::show && !m_shown) makeKeyAndOrderFront();
  // The keyboard went where it belongs when the hide was asked for.
  if (pending == Request::hide && m_shown) slideOut(false);
}

void FloatingWindow::outsideClick(const platform::GlobalMouseEvent& event) {
  // A close already asked for (the tray's activation may come before the press) needs no other.
  if (!m_shown || m_pending == Request::hide) return;
  if (takeFrameAt(event.time).contains(event.globalPosition)) return;
  // The press gives the keyboard to whatever it was made on, also while the panel stays pinned:
  // the window manager does, but for the window it holds to have the keyboard, which in its view
  // never lost it: the one the keyboard came from, or a window of the program's that it activated
  // (the answer's own window).
  if (windowHandle() != nullptr)
    platform::KeyboardKeeper::of(windowHandle())
        .returnKeyboardAfterPressAt(event.globalPosition, event.serverTime);
  // Presses in the program's own windows (a menu, a dialog, the side button) or on its tray icon
  // belong to the program: they never close the panel.
  if (QApplication::topLevelAt(event.globalPosition) != nullptr) return;
  if (m_ownAreaTest && m_ownAreaTest(event.globalPosition)) return;
  if (isWindowPinned()) return;
  // A dialog or question the panel opened goes with it, unanswered (slideOut).
  m_closingPress = event.globalPosition;
  slideOut(false);
}

bool FloatingWindow::takeClosingPress(const QPoint& point) {
  const std::optional<QPoint> press = std::exchange(m_closingPress, std::nullopt);
  return press && (*press - point).manhattanLength() < QApplication::startDragDistance();
}

}  // namespace tessra
