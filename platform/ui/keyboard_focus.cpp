#include "platform/ui/keyboard_focus.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>

#include <utility>

#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

// Whether `window` is `ancestor` or one of the windows opened over it (menus, dialogs).
bool isWithin(const QWindow* window, const QWindow* ancestor) {
  for (const QWindow* w = window; w != nullptr; w = w->transientParent()) {
    if (w == ancestor) return true;
  }
  return false;
}

// The program's window that the X input focus reply names, none when another program's has it;
// Qt's focus window when there is no reply.
QWindow* keyboardWindow(xcb_connection_t* c, xcb_get_input_focus_cookie_t query) {
  const x11::Reply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, query, nullptr));
  if (!focus) return QGuiApplication::focusWindow();
  for (QWindow* window : QGuiApplication::allWindows()) {
    if (window->handle() != nullptr && window->winId() == focus->focus) return window;
  }
  return nullptr;
}

// The program's window that has the keyboard, none when another program's has it. The X input
// focus says it at once; Qt's focus window follows only when the server's focus events have been
// read, and a menu's keyboard grab clears it until the menu's close has been read.
QWindow* keyboardWindow() {
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) return QGuiApplication::focusWindow();
  return keyboardWindow(c, xcb_get_input_focus(c));
}

}  // namespace

bool bypassesWindowManager(const QWindow& window) {
  return window.flags().testFlag(Qt::X11BypassWindowManagerHint);
}

void giveKeyboard(QWindow* window) {
  if (window == nullptr || !window->isVisible()) return;
  xcb_connection_t* c = x11::connection();
  if (c == nullptr || !bypassesWindowManager(*window)) {
    window->requestActivate();
    return;
  }
  // The window was mapped by a request before this one on the same connection, so the server
  // finds it viewable. The request leaves with Qt's next flush, before the event loop waits: a
  // flush of its own would wake the server once more on every show.
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(window->winId()),
                      XCB_CURRENT_TIME);
}

KeyboardKeeper& KeyboardKeeper::of(QWindow* window) {
  if (auto* keeper = window->findChild<KeyboardKeeper*>(QString(), Qt::FindDirectChildrenOnly))
    return *keeper;
  return *new KeyboardKeeper(window);
}

KeyboardKeeper::KeyboardKeeper(QWindow* window) : QObject(window), m_window(window) {
  // Presses reach the window before any of its widgets.
  window->installEventFilter(this);
  // Emitted before the window is mapped or unmapped.
  connect(window, &QWindow::visibleChanged, this, &KeyboardKeeper::visibilityChanged);
}

KeyboardKeeper::~KeyboardKeeper() {
  xcb_connection_t* c = x11::connection();
  if (m_lenderQuery && c != nullptr) xcb_discard_reply(c, *m_lenderQuery);
}

bool KeyboardKeeper::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_window && event->type() == QEvent::MouseButtonPress && m_takesOnPress &&
      keyboardWindow() != m_window)
    giveKeyboard(m_window);
  return false;
}

void KeyboardKeeper::visibilityChanged(bool visible) {
  if (visible) {
    askLender();
    // Once the map request has gone out.
    if (m_takesOnShow)
      QMetaObject::invokeMethod(
          this,
          [this] {
            settleLender();
            giveKeyboard(m_window);
          },
          Qt::QueuedConnection);
    return;
  }
  settleLender();
  const QPointer<QWindow> lender = std::exchange(m_lender, nullptr);
  if (!lender || !lender->isVisible() || !isWithin(keyboardWindow(), m_window)) return;
  giveKeyboard(lender);
  // Sent at once: a hide can be the program's last act before it quits, with no event loop left
  // to flush the request.
  if (xcb_connection_t* c = x11::connection()) xcb_flush(c);
}

void KeyboardKeeper::askLender() {
  settleLender();
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) {
    setLender(QGuiApplication::focusWindow());
    return;
  }
  // Asked before the map request, which the server then handles after it (the map flushes the
  // connection); read once the keyboard is given or the window goes, so that a show waits for no
  // round trip.
  m_lenderQuery = xcb_get_input_focus(c).sequence;
}

void KeyboardKeeper::settleLender() {
  if (!m_lenderQuery) return;
  const xcb_get_input_focus_cookie_t query{*std::exchange(m_lenderQuery, std::nullopt)};
  setLender(keyboardWindow(x11::connection(), query));
}

void KeyboardKeeper::setLender(QWindow* focus) {
  m_lender = isWithin(focus, m_window) ? nullptr : focus;
}

}  // namespace tessra::platform
