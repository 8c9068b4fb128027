#include "platform/ui/global_event_monitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <xcb/xinput.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <QMetaObject>
#include <QPointer>
#include <QWindow>

#include <cerrno>
#include <cstdlib>

#include "platform/foundation/logger.h"
#include "platform/ui/screens.h"
#include "platform/ui/x11_connection.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

Qt::MouseButton buttonFromDetail(std::uint32_t detail) {
  switch (detail) {
    case 1:
      return Qt::LeftButton;
    case 2:
      return Qt::MiddleButton;
    case 3:
      return Qt::RightButton;
    case 8:
      return Qt::BackButton;
    case 9:
      return Qt::ForwardButton;
    default:
      return Qt::NoButton;  // 4 to 7 are the wheel
  }
}

bool wanted(unsigned mask, Qt::MouseButton button) {
  switch (button) {
    case Qt::NoButton:
      return false;
    case Qt::LeftButton:
      return (mask & GlobalEventMonitor::leftMouseDown) != 0;
    case Qt::RightButton:
      return (mask & GlobalEventMonitor::rightMouseDown) != 0;
    default:
      return (mask & GlobalEventMonitor::otherMouseDown) != 0;
  }
}

// A connection that has told the server it speaks XInput 2.`minor`; none (logged) without one.
std::unique_ptr<X11Connection> connectSpeakingInput(int minor) {
  auto connection = std::make_unique<X11Connection>();
  if (!connection->isValid()) {
    logError("Global mouse monitor: cannot connect to the X display");
    return nullptr;
  }
  xcb_connection_t* c = connection->get();
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_input_id);
  const Reply<xcb_input_xi_query_version_reply_t> version(
      extension != nullptr && extension->present
          ? xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, minor), nullptr)
          : nullptr);
  if (!version || version->major_version < 2 ||
      (version->major_version == 2 && version->minor_version < minor)) {
    logError("Global mouse monitor: the X server has no XInput 2.{}", minor);
    return nullptr;
  }
  return connection;
}

// Selects the raw events of `mask` on the root window of `x`, when they differ from `selected`.
void selectRaw(X11Connection& x, std::uint32_t mask, std::uint32_t& selected) {
  if (mask == selected) return;
  selected = mask;
  struct {
    xcb_input_event_mask_t header;
    std::uint32_t bits;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
  xcb_input_xi_select_events(x.get(), x.rootWindow(), 1, &selection.header);
  xcb_flush(x.get());
}

}  // namespace

GlobalEventMonitor::GlobalEventMonitor(unsigned mask, Handler handler, QObject* parent)
    : QObject(parent), m_mask(mask), m_handler(std::move(handler)) {}

GlobalEventMonitor::~GlobalEventMonitor() {
  stop();
  if (!m_reader.joinable()) return;
  m_ending = true;
  const std::uint64_t one = 1;
  if (::write(m_wake.get(), &one, sizeof one) != sizeof one)
    logError("Global mouse monitor: its reader cannot be woken (errno {})", errno);
  m_reader.join();
}

bool GlobalEventMonitor::start() {
  if (m_running) return true;
  if (!m_connection && !connectToServer()) return false;
  const std::lock_guard lock(m_keptMutex);
  m_running = true;
  selectInput();
  return true;
}

void GlobalEventMonitor::selectInput() {
  if (!m_connection) return;
  selectRaw(*m_connection, m_running ? XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS : 0, m_selected);
  // What the user does only as long as it may say where the user sends the keyboard.
  constexpr std::uint32_t userInput = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS |
                                      XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
                                      XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
  selectRaw(*m_keeping, m_kept ? userInput : 0, m_keepingSelected);
}

bool GlobalEventMonitor::connectToServer() {
  // Presses come over a connection that speaks XInput 2.0, which the server leaves out of the
  // raw events while another client holds a grab: a press that closes a menu (the program's own
  // too) closes only the menu. Keeping the keyboard needs the user's every key and press, also
  // those a grab takes (the keys typed after a shortcut, held for the window it shows), which
  // XInput 2.1 and later bring whatever the grab.
  auto connection = connectSpeakingInput(0);
  auto keeping = connectSpeakingInput(1);
  if (!connection || !keeping) return false;
  xcb_connection_t* c = connection->get();
  struct {
    xcb_input_event_mask_t header;
    std::uint32_t bits;
  } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
  Reply<xcb_generic_error_t> error(xcb_request_check(
      c, xcb_input_xi_select_events_checked(c, connection->rootWindow(), 1, &selection.header)));
  if (error) {
    logError("Global mouse monitor: the X server refused raw button events (error {})",
             error->error_code);
    return false;
  }
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
  if (!wake) {
    logError("Global mouse monitor: no event descriptor to end its reader with (errno {})", errno);
    return false;
  }

  m_inputOpcode = xcb_get_extension_data(c, &xcb_input_id)->major_opcode;
  m_selected = XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
  m_connection = std::move(connection);
  m_keeping = std::move(keeping);
  m_wake = std::move(wake);
  m_reader = std::thread([this] { read(); });
  return true;
}

void GlobalEventMonitor::stop() {
  const std::lock_guard lock(m_keptMutex);
  m_kept.reset();
  m_running = false;
  selectInput();
}

void GlobalEventMonitor::keepKeyboardIn(QWindow* window, std::chrono::milliseconds moment) {
  xcb_connection_t* own = x11::connection();
  if (!m_running || own == nullptr || window == nullptr) return;
  xcb_connection_t* c = m_keeping->get();
  const auto id = static_cast<xcb_window_t>(window->winId());
  // Selected before the window takes the keyboard, so that the reader hears it go however soon.
  const std::uint32_t events = XCB_EVENT_MASK_FOCUS_CHANGE;
  xcb_change_window_attributes(c, id, XCB_CW_EVENT_MASK, &events);
  // Where the pointer is and which keys type Super or Meta, before the user can act.
  const xcb_setup_t* ownSetup = xcb_get_setup(own);
  const xcb_setup_t* setup = xcb_get_setup(c);
  const auto pointerCookie = xcb_query_pointer(c, m_keeping->rootWindow());
  const auto keysCookie = xcb_get_keyboard_mapping(
      c, setup->min_keycode,
      static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1));
  const std::lock_guard lock(m_keptMutex);
  m_kept = KeptKeyboard{};
  KeptKeyboard& kept = *m_kept;
  kept.window = id;
  kept.ownIdBase = ownSetup->resource_id_base;
  kept.ownIdMask = ownSetup->resource_id_mask;
  kept.until = std::chrono::steady_clock::now() + moment;
  selectInput();
  // The keys held now (the shortcut's own Alt, a Shift the user holds), asked once the user's keys
  // are selected: a key let go in between is heard, and the reader, which waits for the lock,
  // hears it after this answer.
  const auto heldCookie = xcb_query_keymap(c);
  const Reply<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(c, pointerCookie, nullptr));
  const Reply<xcb_get_keyboard_mapping_reply_t> keys(
      xcb_get_keyboard_mapping_reply(c, keysCookie, nullptr));
  const Reply<xcb_query_keymap_reply_t> held(xcb_query_keymap_reply(c, heldCookie, nullptr));
  if (pointer) kept.pointer = std::pair<int, int>(pointer->root_x, pointer->root_y);
  if (keys && keys->keysyms_per_keycode > 0) {
    // A key's first keysym is what it types alone: the Alt key's Meta is Alt with Shift.
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keys.get());
    const int count = xcb_get_keyboard_mapping_keysyms_length(keys.get());
    for (int i = 0; i < count; i += keys->keysyms_per_keycode) {
      switch (keysyms[i]) {
        case XKB_KEY_Super_L:
        case XKB_KEY_Super_R:
        case XKB_KEY_Meta_L:
        case XKB_KEY_Meta_R:
          kept.menuKeys.set(setup->min_keycode + i / keys->keysyms_per_keycode);
          break;
        default:
          break;
      }
    }
  }
  if (held) {
    for (std::size_t keycode = 0; keycode < kept.held.size(); ++keycode)
      kept.held[keycode] = (held->keys[keycode / 8] >> (keycode % 8)) & 1;
  }
  // The reader waits for the end of the moment too.
  const std::uint64_t one = 1;
  if (::write(m_wake.get(), &one, sizeof one) != sizeof one)
    logError("Global mouse monitor: its reader cannot be woken (errno {})", errno);
}

void GlobalEventMonitor::stopKeepingKeyboard() {
  const std::lock_guard lock(m_keptMutex);
  endKeeping();
}

void GlobalEventMonitor::endKeeping() {
  m_kept.reset();
  selectInput();
}

bool GlobalEventMonitor::keeps(std::uint32_t window) const {
  return m_kept && m_kept->window == window && std::chrono::steady_clock::now() < m_kept->until;
}

void GlobalEventMonitor::focusLeft(std::uint32_t window, std::uint8_t mode, std::uint8_t detail) {
  // Within the window, or news of the pointer only.
  if (detail == XCB_NOTIFY_DETAIL_INFERIOR || detail == XCB_NOTIFY_DETAIL_POINTER) return;
  // Another client grabbed the keyboard: the user pressed a key that it holds, and the focus goes
  // where that key sends it.
  if (mode == XCB_NOTIFY_MODE_GRAB) {
    stopKeepingKeyboard();
    return;
  }
  std::optional<KeptKeyboard> kept;
  {
    const std::lock_guard lock(m_keptMutex);
    if (!keeps(window)) return;
    kept = m_kept;
  }
  xcb_connection_t* c = m_keeping->get();
  const Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  if (!focus) return;
  // The program gave it to another of its windows (or back to this one already).
  if ((focus->focus & ~kept->ownIdMask) == kept->ownIdBase) return;
  const bool pointedAt = pointerMovedOnto(focus->focus, kept->pointer);
  const std::lock_guard lock(m_keptMutex);
  if (!keeps(window)) return;
  if (pointedAt) {
    endKeeping();
    return;
  }
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
  xcb_flush(c);
}

bool GlobalEventMonitor::pointerMovedOnto(std::uint32_t focus,
                                          std::optional<std::pair<int, int>> start) {
  xcb_connection_t* c = m_keeping->get();
  const xcb_window_t root = m_keeping->rootWindow();
  if (!start || focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus == root)
    return false;
  const auto pointerCookie = xcb_query_pointer(c, root);
  const auto startCookie =
      xcb_translate_coordinates(c, root, root, static_cast<std::int16_t>(start->first),
                                static_cast<std::int16_t>(start->second));
  const Reply<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(c, pointerCookie, nullptr));
  const Reply<xcb_translate_coordinates_reply_t> wasOver(
      xcb_translate_coordinates_reply(c, startCookie, nullptr));
  if (!pointer || pointer->child == XCB_NONE) return false;
  if (std::pair<int, int>(pointer->root_x, pointer->root_y) == *start) return false;
  // Still over the window that stands where it was (the panel, where it came up under it): a
  // window manager gives the keyboard to a window the pointer enters, never for a move inside one.
  if (wasOver && wasOver->child == pointer->child) return false;
  // The focus is on a window inside the top-level one under the pointer (a window manager's
  // frame holds the window it manages).
  for (xcb_window_t window = focus; window != XCB_NONE;) {
    if (window == pointer->child) return true;
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree || tree->parent == root) return false;
    window = tree->parent;
  }
  return false;
}

void GlobalEventMonitor::keyChanged(std::uint8_t keycode, bool down) {
  const std::lock_guard lock(m_keptMutex);
  if (!m_kept) return;
  KeptKeyboard& kept = *m_kept;
  if (down) {
    // Its repeat.
    if (kept.held.test(keycode)) return;
    kept.held.set(keycode);
    // Alone only when no other key is held as it goes down: with Shift, Ctrl or the shortcut's own
    // Alt it is a chord, which opens nothing.
    kept.menuKeyAlone = kept.menuKeys.test(keycode) && kept.held.count() == 1
                            ? std::optional<std::uint8_t>(keycode)
                            : std::nullopt;
    return;
  }
  kept.held.reset(keycode);
  // Super let go with no other key held or pressed meanwhile: a desktop may open its menu on it,
  // reading the keyboard without a grab, and the focus goes where the menu is. Shift, Alt or Caps
  // Lock alone open nothing, and the shortcut's own Alt is let go at any moment after it.
  if (kept.menuKeyAlone == keycode) endKeeping();
}

void GlobalEventMonitor::readKeeping() {
  while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(m_keeping->get())}) {
    if ((event->response_type & 0x7f) == XCB_FOCUS_OUT) {
      const auto* out = reinterpret_cast<const xcb_focus_out_event_t*>(event.get());
      focusLeft(out->event, out->mode, out->detail);
      continue;
    }
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC) continue;
    const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
    if (generic->extension != m_inputOpcode) continue;
    if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS ||
        generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
      const auto* key = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event.get());
      keyChanged(static_cast<std::uint8_t>(key->detail),
                 generic->event_type == XCB_INPUT_RAW_KEY_PRESS);
    } else if (generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
      // Whatever the press was made on, the user chose where the keyboard goes now.
      stopKeepingKeyboard();
    }
  }
}

void GlobalEventMonitor::read() {
  xcb_connection_t* c = m_connection->get();
  pollfd descriptors[] = {{xcb_get_file_descriptor(c), POLLIN, 0},
                          {xcb_get_file_descriptor(m_keeping->get()), POLLIN, 0},
                          {m_wake.get(), POLLIN, 0}};
  for (;;) {
    readKeeping();
    std::vector<Press> presses;
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
      if ((event->response_type & 0x7f) != XCB_GE_GENERIC) continue;
      const auto* raw = reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.get());
      if (raw->extension != m_inputOpcode || raw->event_type != XCB_INPUT_RAW_BUTTON_PRESS)
        continue;
      const Qt::MouseButton button = buttonFromDetail(raw->detail);
      if (!wanted(m_mask, button)) continue;
      // Asked now, while the hand that pressed has hardly moved.
      if (const auto position = m_connection->pointerPosition())
        presses.push_back({button, QPoint(position->first, position->second),
                           std::chrono::steady_clock::now(), raw->time});
    }
    if (!presses.empty()) {
      QMetaObject::invokeMethod(
          this, [this, presses = std::move(presses)] { report(presses); }, Qt::QueuedConnection);
    }
    if (xcb_connection_has_error(c) != 0 || xcb_connection_has_error(m_keeping->get()) != 0) {
      QMetaObject::invokeMethod(this, &GlobalEventMonitor::connectionBroke, Qt::QueuedConnection);
      return;
    }
    if (::poll(descriptors, 3, keptFor()) < 0 && errno != EINTR) return;
    if (descriptors[2].revents == 0) continue;
    std::uint64_t wakes = 0;
    if (::read(m_wake.get(), &wakes, sizeof wakes) != sizeof wakes || m_ending) return;
  }
}

int GlobalEventMonitor::keptFor() {
  const std::lock_guard lock(m_keptMutex);
  if (!m_kept) return -1;
  const auto left = m_kept->until - std::chrono::steady_clock::now();
  if (left > std::chrono::steady_clock::duration::zero())
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
  // The moment is over: the keys no longer say anything.
  endKeeping();
  return -1;
}

void GlobalEventMonitor::connectionBroke() {
  logError("Global mouse monitor: the X connection broke; clicks are no longer watched");
  // The reader has ended; the next start connects anew.
  m_reader.join();
  const std::lock_guard lock(m_keptMutex);
  m_running = false;
  m_kept.reset();
  m_selected = 0;
  m_keepingSelected = 0;
  m_connection.reset();
  m_keeping.reset();
  m_wake.reset();
}

void GlobalEventMonitor::report(const std::vector<Press>& presses) {
  // The handler may stop or destroy the monitor.
  const QPointer<GlobalEventMonitor> self(this);
  const Handler handler = m_handler;
  for (const Press& press : presses) {
    // A press read as the monitor stopped is old news.
    if (!self || !isRunning()) return;
    handler(
        {press.button, Screens::fromRootPixels(press.rootPosition), press.time, press.serverTime});
  }
}

}  // namespace tessra::platform
