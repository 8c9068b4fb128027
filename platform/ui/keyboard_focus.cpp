#include "platform/ui/keyboard_focus.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>

#include <utility>
#include <vector>

#include "platform/ui/opened_windows.h"
#include "platform/ui/screens.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

// How many `KeyboardStaysPut` live. GUI thread only.
int g_keyboardStaysPut = 0;

// The program's window whose X window is `id`; null for another program's.
QWindow* programWindow(xcb_window_t id) {
  for (QWindow* window : QGuiApplication::allWindows()) {
    if (window->handle() != nullptr && window->winId() == id) return window;
  }
  return nullptr;
}

// The program's window that has the keyboard, none when another program's has it. The X input
// focus says it at once; Qt's focus window follows only when the server's focus events have been
// read, and a menu's keyboard grab clears it until the menu's close has been read.
QWindow* keyboardWindow() {
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) return QGuiApplication::focusWindow();
  const x11::Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  return focus ? programWindow(focus->focus) : QGuiApplication::focusWindow();
}

// Whether the window and all its ancestors are mapped, so that it can take the keyboard.
bool isViewable(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The window that the window manager names active; none without one.
xcb_window_t activeWindow(xcb_connection_t* c) {
  const auto active = x11::property(c, x11::rootWindow(c), x11::atom(c, "_NET_ACTIVE_WINDOW"));
  const std::vector<std::uint32_t> windows =
      active ? active->cardinals() : std::vector<std::uint32_t>{};
  return windows.empty() ? xcb_window_t{XCB_WINDOW_NONE} : xcb_window_t{windows.front()};
}

// The child of the root that holds `window`: the window manager's frame around it, or the window
// itself; none when it has gone.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t window) {
  const xcb_window_t root = x11::rootWindow(c);
  for (;;) {
    const x11::Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree) return XCB_WINDOW_NONE;
    if (tree->parent == root || tree->parent == XCB_WINDOW_NONE) return window;
    window = tree->parent;
  }
}

// Gives a managed window the keyboard as the server first shows it, if the keyboard is still on
// the window that had it when the window was shown: the window manager's own request, stamped too
// early, did not move it, and the user sent it nowhere else meanwhile.
class TakeWhenShown final : public QObject {
 public:
  TakeWhenShown(QWindow* window, xcb_window_t focus)
      : QObject(window), m_window(window), m_focus(focus) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != m_window || event->type() != QEvent::Expose || !m_window->isExposed())
      return false;
    m_window->removeEventFilter(this);
    deleteLater();
    xcb_connection_t* c = x11::connection();
    const auto window = static_cast<xcb_window_t>(m_window->winId());
    const x11::Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus != m_focus || !isViewable(c, window)) return false;
    // Set directly: the window manager holds that the window has it already.
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    return false;
  }

 private:
  QWindow* m_window;
  xcb_window_t m_focus;
};

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

void activateShownWindow(QWindow* window) {
  if (window == nullptr || !window->isVisible()) return;
  window->requestActivate();
  xcb_connection_t* c = x11::connection();
  if (c == nullptr || bypassesWindowManager(*window) || window->isExposed()) return;
  const x11::Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  if (focus) new TakeWhenShown(window, focus->focus);
}

KeyboardStaysPut::KeyboardStaysPut() { ++g_keyboardStaysPut; }

KeyboardStaysPut::~KeyboardStaysPut() { --g_keyboardStaysPut; }

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
    if (!m_takesOnShow) return;
    m_takePending = true;
    // Once the map request has gone out.
    QMetaObject::invokeMethod(
        this,
        [this] {
          settleLender();
          if (!std::exchange(m_takePending, false)) return;
          giveKeyboard(m_window);
        },
        Qt::QueuedConnection);
    return;
  }
  // Hidden before its take has run: an unmapped window cannot take the keyboard.
  m_takePending = false;
  settleLender();
  xcb_connection_t* c = x11::connection();
  QWindow* lender = c != nullptr ? programWindow(m_lender) : m_lenderOffX11.data();
  m_lender = XCB_WINDOW_NONE;
  m_lenderOffX11 = nullptr;
  if (g_keyboardStaysPut > 0 || lender == nullptr || !lender->isVisible() ||
      !isOpenedOver(keyboardWindow(), m_window))
    return;
  giveKeyboard(lender);
  // Sent at once: a hide can be the program's last act before it quits, with no event loop left
  // to flush the request.
  if (c != nullptr) xcb_flush(c);
}

void KeyboardKeeper::returnKeyboard() {
  // Given away before the take of its show has run (the shortcut pressed again at once, read
  // along with the end of the show's delay), the window does not take it back after all.
  m_takePending = false;
  settleLender();
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) {
    if (m_lenderOffX11 && m_lenderOffX11->isVisible() &&
        isOpenedOver(QGuiApplication::focusWindow(), m_window))
      giveKeyboard(m_lenderOffX11);
    return;
  }
  if (!isOpenedOver(keyboardWindow(), m_window)) return;
  xcb_window_t to = m_lender;
  std::uint8_t revertTo = m_lenderRevertTo;
  if (QWindow* taker = QGuiApplication::focusWindow();
      taker != nullptr && taker->isVisible() && !isOpenedOver(taker, m_window)) {
    // Another of the program's windows took over from this one (a window it opened, which the
    // window manager has activated as far as the program has heard, though the server's focus has
    // not moved yet): the keyboard is that window's, not the one that had it before.
    to = static_cast<xcb_window_t>(taker->winId());
    revertTo = XCB_INPUT_FOCUS_PARENT;
  } else if (to == XCB_WINDOW_NONE || !isViewable(c, to)) {
    // The lender went meanwhile, or there was none: the keyboard goes to the window that the
    // window manager names active, else to the root, where the server would drop it as this
    // window goes and a window manager picks a window for it.
    to = activeWindow(c);
    revertTo = XCB_INPUT_FOCUS_PARENT;
    if (to == XCB_WINDOW_NONE || isOpenedOver(programWindow(to), m_window) || !isViewable(c, to))
      to = x11::rootWindow(c);
  }
  // Set directly, also for a window the manager manages: it never learnt that the keyboard had
  // left that window, and a request through it would leave keys typed meanwhile to this one.
  xcb_set_input_focus(c, revertTo, to, XCB_CURRENT_TIME);
  // Answered only once the server has moved the focus.
  const x11::Reply<xcb_get_input_focus_reply_t> done(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void KeyboardKeeper::returnKeyboardAfterPressAt(const QPoint& position, std::uint32_t pressTime) {
  m_takePending = false;
  settleLender();
  xcb_connection_t* c = x11::connection();
  // The window manager has moved it already, as it does on a press of a window it holds unfocused.
  if (c == nullptr || !isOpenedOver(keyboardWindow(), m_window)) return;
  const xcb_window_t root = x11::rootWindow(c);
  const QPoint pixels = Screens::toRootPixels(position);
  // What the press was made on: the window the server finds there now, as the panel stays where
  // it stood at the press and slides only its content.
  const x11::Reply<xcb_translate_coordinates_reply_t> pressed(xcb_translate_coordinates_reply(
      c,
      xcb_translate_coordinates(c, root, root, static_cast<std::int16_t>(pixels.x()),
                                static_cast<std::int16_t>(pixels.y())),
      nullptr));
  if (!pressed || pressed->child == XCB_WINDOW_NONE) return;
  for (const xcb_window_t owner : {m_lender, activeWindow(c)}) {
    if (owner == XCB_WINDOW_NONE || topLevelOf(c, owner) != pressed->child || !isViewable(c, owner))
      continue;
    const std::uint8_t revertTo =
        owner == m_lender ? m_lenderRevertTo : std::uint8_t{XCB_INPUT_FOCUS_PARENT};
    // Stamped with the press's time, not with the time now: the window manager stamps the focus
    // it gives next (to a window opened a moment later) with the time of the last event it read,
    // the press itself perhaps, and the server ignores a focus request older than the last change.
    xcb_set_input_focus(c, revertTo, owner, pressTime);
    // Ignored, as this window took the keyboard after the press (the shortcut's keeping, on a
    // connection of its own, took it back as the press was read): stamped with the time now.
    if (isOpenedOver(keyboardWindow(), m_window))
      xcb_set_input_focus(c, revertTo, owner, XCB_CURRENT_TIME);
    // Until the server has it, the keys typed after the press reach this window, which drops them.
    xcb_flush(c);
    return;
  }
}

void KeyboardKeeper::askLender() {
  settleLender();
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) {
    QWindow* focus = QGuiApplication::focusWindow();
    m_lenderOffX11 = isOpenedOver(focus, m_window) ? nullptr : focus;
    return;
  }
  // Asked before the map request, which the server then handles after it (the map flushes the
  // connection); read once the keyboard is given or the window goes, so that a show waits for no
  // round trip.
  m_lenderQuery = xcb_get_input_focus(c).sequence;
}

void KeyboardKeeper::settleLender() {
  if (!m_lenderQuery) return;
  xcb_connection_t* c = x11::connection();
  const xcb_get_input_focus_cookie_t query{*std::exchange(m_lenderQuery, std::nullopt)};
  const x11::Reply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, query, nullptr));
  m_lender = XCB_WINDOW_NONE;
  // The root, the pointer's root or nobody had it: there is no one to give it back to.
  if (!focus || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == x11::rootWindow(c))
    return;
  if (isOpenedOver(programWindow(focus->focus), m_window)) return;
  m_lender = focus->focus;
  m_lenderRevertTo = focus->revert_to;
}

}  // namespace tessra::platform
