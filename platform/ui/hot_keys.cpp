#include "platform/ui/hot_keys.h"

#include <xcb/xcb.h>
// The protocol header names a member `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <poll.h>
#include <sys/eventfd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <future>
#include <initializer_list>
#include <set>
#include <utility>

#include "platform/foundation/logger.h"

namespace tessra::platform {

namespace {

constexpr std::uint8_t kBadAccess = 10;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> adopt(T* reply) {
  return Reply<T>(reply, &std::free);
}

}  // namespace

struct HotKeys::Command {
  enum class Kind { hold, drop, answered, focused, read };
  Kind kind = Kind::drop;
  // answered: the press whose handlers have all returned.
  std::uint64_t press = 0;
  // hold: the window, and the modifiers of the press being delivered, if any. focused: the window
  // whose getting the focus the program has read. read: the program has read a handed key.
  xcb_window_t window = XCB_WINDOW_NONE;
  std::uint16_t shortcutModifiers = 0;
  std::promise<bool> granted;
};

struct HotKeys::Hold {
  enum class Stage {
    // The program has not yet read the window getting the focus: typed keys are kept.
    keeping,
    // The window has the focus: the kept keys, and those typed meanwhile, go to it one press at a
    // time, and the grab ends once all are handed and the combination's key is up.
    handing,
    // The window will not show; typed keys go nowhere until the combination's key is let go.
    dropping,
  };
  xcb_window_t window = XCB_WINDOW_NONE;
  Stage stage = Stage::keeping;
  std::deque<xcb_key_press_event_t> keys;
  // The keys whose press was held: their release is held too.
  std::set<xcb_keycode_t> down;
  // The combination's modifiers that have stayed down since its press.
  std::uint16_t shortcutModifiers = 0;
  // Keeping ends here, with the keys dropped.
  std::chrono::steady_clock::time_point limit;
  // A handed press that the program has not read yet: the next key waits for it until `readLimit`.
  bool unread = false;
  std::chrono::steady_clock::time_point readLimit;
  // Whether each press waits for the one before to be read; no more once one was not read in time.
  bool paced = true;
};

HotKeys& HotKeys::shared() {
  // Lives until the process ends; its connection closes with the process. Its reader ends with
  // the application, before the statics it logs and posts with go.
  static HotKeys* const instance = [] {
    qAddPostRoutine([] { instance->stopReader(); });
    return new HotKeys();
  }();
  return *instance;
}

HotKeys::HotKeys(const char* display, QObject* parent) : QObject(parent), m_x11(display) {
  if (!m_x11.isValid()) {
    logError("Global shortcuts are off: no X display to connect to");
    return;
  }
  if (!setUpKeyboard()) {
    logError("Global shortcuts are off: the X server has no keyboard extension");
    return;
  }
  m_wake = UniqueFd(::eventfd(0, EFD_CLOEXEC));
  if (!m_wake) {
    logError("Global shortcuts are off: no event descriptor to wake their reader with (errno {})",
             errno);
    return;
  }
  publishMatching();
  xcb_flush(m_x11.get());
  m_connected = true;
  m_reader = std::thread([this] { read(); });
}

HotKeys::~HotKeys() { stopReader(); }

void HotKeys::stopReader() {
  if (!m_reader.joinable()) return;
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  wakeReader();
  m_reader.join();
}

void HotKeys::wakeReader() {
  const std::uint64_t one = 1;
  if (::write(m_wake.get(), &one, sizeof one) != sizeof one)
    logError("Global shortcuts: their reader cannot be woken (errno {})", errno);
}

bool HotKeys::post(Command command) {
  if (!m_connected) return false;
  {
    const std::lock_guard lock(m_mutex);
    if (m_readerEnded) return false;
    m_commands.push_back(std::move(command));
  }
  wakeReader();
  return true;
}

void HotKeys::connectionBroke() {
  logError("Global shortcuts are off: the X connection broke");
  m_connected = false;
  m_reader.join();
}

bool HotKeys::setUpKeyboard() {
  xcb_connection_t* c = m_x11.get();
  if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                   XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                   &m_xkbFirstEvent, nullptr)) {
    return false;
  }
  m_keyboardDevice = xkb_x11_get_core_keyboard_device_id(c);
  if (m_keyboardDevice < 0) return false;

  // Without it a held key would arrive as a stream of releases and presses.
  xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD,
                           XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                           XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0);

  constexpr std::uint16_t events =
      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  constexpr std::uint16_t mapParts =
      XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP |
      XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS |
      XCB_XKB_MAP_PART_VIRTUAL_MODS | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
  xcb_xkb_select_events_details_t details{};
  details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
  details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
  xcb_xkb_select_events_aux(c, static_cast<xcb_xkb_device_spec_t>(m_keyboardDevice), events, 0, 0,
                            mapParts, mapParts, &details);
  loadLayout();
  return m_layout != nullptr;
}

void HotKeys::loadLayout() {
  xkb_keymap* keymap = xkb_x11_keymap_new_from_device(
      sharedXkbContext(), m_x11.get(), m_keyboardDevice, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) {
    logError("Global shortcuts: the X server's keymap could not be read");
    return;
  }
  m_layout = std::make_shared<const KeyboardLayout>(keymap);
  readModifierMap();
}

void HotKeys::readModifierMap() {
  xcb_connection_t* c = m_x11.get();
  auto reply = adopt(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
  // The keys of Mod1 to Mod5 with their bits; Shift, Lock and Control are fixed.
  std::vector<std::pair<xcb_keycode_t, std::uint16_t>> modifierKeys;
  if (reply) {
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 3; modifier < 8; ++modifier) {
      for (int i = 0; i < perModifier; ++i) {
        const xcb_keycode_t code = keycodes[modifier * perModifier + i];
        if (code != 0) modifierKeys.emplace_back(code, static_cast<std::uint16_t>(1u << modifier));
      }
    }
  }
  // A modifier is the one its keysyms are on, wherever the layout puts their keys (Alt on the
  // Windows key of a layout that swaps the two): the bit of the first keysym that a key of the map
  // types, one bit, so that a grab asks for no second modifier. Meta counts as Alt only where no
  // key types Alt: a layout may put it on the Windows keys, beside Super.
  const auto bitOf = [&](std::initializer_list<xkb_keysym_t> keysyms) -> std::uint16_t {
    for (const xkb_keysym_t keysym : keysyms) {
      for (const auto& [code, bit] : modifierKeys) {
        if (m_layout->types(code, keysym)) return bit;
      }
    }
    return 0;
  };
  m_altMask = bitOf({XKB_KEY_Alt_L, XKB_KEY_Alt_R, XKB_KEY_Meta_L, XKB_KEY_Meta_R});
  m_superMask = bitOf({XKB_KEY_Super_L, XKB_KEY_Super_R});
  m_numLockMask = bitOf({XKB_KEY_Num_Lock});
  // The usual assignment, for a server whose map names none of these keysyms.
  if (!m_altMask) m_altMask = XCB_MOD_MASK_1;
  if (!m_superMask) m_superMask = XCB_MOD_MASK_4;
  if (!m_numLockMask) m_numLockMask = XCB_MOD_MASK_2;
}

std::uint16_t HotKeys::xModifiers(std::uint32_t modifiers) const {
  std::uint16_t mask = 0;
  if (modifiers & KeyCombination::shift) mask |= XCB_MOD_MASK_SHIFT;
  if (modifiers & KeyCombination::control) mask |= XCB_MOD_MASK_CONTROL;
  if (modifiers & KeyCombination::alt) mask |= m_altMask;
  if (modifiers & KeyCombination::super) mask |= m_superMask;
  return mask;
}

std::array<std::uint16_t, 4> HotKeys::lockVariants(std::uint16_t numLockMask) {
  return {0, XCB_MOD_MASK_LOCK, numLockMask, std::uint16_t(numLockMask | XCB_MOD_MASK_LOCK)};
}

std::optional<HotKeys::Grab> HotKeys::resolve(const KeyCombination& combination) const {
  if (!m_layout) return std::nullopt;
  const auto keycode = m_layout->keycode(combination.keyName);
  if (!keycode) return std::nullopt;
  return Grab{*keycode, xModifiers(combination.modifiers)};
}

bool HotKeys::grabVariants(const Grab& grab, xcb_window_t window) {
  xcb_connection_t* c = m_x11.get();
  if (window == XCB_WINDOW_NONE) window = m_x11.rootWindow();
  std::vector<xcb_void_cookie_t> cookies;
  for (const std::uint16_t variant : lockVariants(m_numLockMask)) {
    // The keyboard stays still from a press until the reader lets it go on, so that no key typed
    // meanwhile escapes a hold that a handler of the press takes.
    cookies.push_back(xcb_grab_key_checked(c, 1, window, std::uint16_t(grab.modifierMask | variant),
                                           static_cast<xcb_keycode_t>(grab.keycode),
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
  }
  bool taken = false;
  for (const xcb_void_cookie_t cookie : cookies) {
    auto error = adopt(xcb_request_check(c, cookie));
    if (error && error->error_code == kBadAccess) taken = true;
  }
  if (taken) ungrabVariants(grab, m_numLockMask, window);
  wakeReader();
  return !taken;
}

void HotKeys::ungrabVariants(const Grab& grab, std::uint16_t numLockMask, xcb_window_t window) {
  if (window == XCB_WINDOW_NONE) window = m_x11.rootWindow();
  // Releasing a variant this connection does not hold leaves another program's grab alone.
  for (const std::uint16_t variant : lockVariants(numLockMask)) {
    xcb_ungrab_key(m_x11.get(), static_cast<xcb_keycode_t>(grab.keycode), window,
                   std::uint16_t(grab.modifierMask | variant));
  }
  xcb_flush(m_x11.get());
}

std::expected<void, GrabFailure> HotKeys::grab(const KeyCombination& combination) {
  if (!m_connected) return std::unexpected(GrabFailure::noDisplay);
  if (m_grabs.contains(combination)) return {};
  const auto resolved = resolve(combination);
  if (!resolved) return std::unexpected(GrabFailure::unknownKey);
  if (!grabVariants(*resolved)) return std::unexpected(GrabFailure::taken);
  m_grabs.emplace(combination, *resolved);
  publishMatching();
  return {};
}

void HotKeys::ungrab(const KeyCombination& combination) {
  const auto it = m_grabs.find(combination);
  if (it == m_grabs.end()) return;
  const Grab grab = it->second;
  m_grabs.erase(it);
  publishMatching();
  ungrabVariants(grab, m_numLockMask);
}

bool HotKeys::isGrabbed(const KeyCombination& combination) const {
  return m_grabs.contains(combination);
}

void HotKeys::publishMatching() {
  Matching matching{{m_grabs.begin(), m_grabs.end()}, m_altMask, m_superMask};
  const std::lock_guard lock(m_mutex);
  m_matching = std::move(matching);
}

bool HotKeys::isTaken(const KeyCombination& combination) {
  if (!m_connected || m_grabs.contains(combination)) return false;
  const auto resolved = resolve(combination);
  if (!resolved) return false;
  if (!grabVariants(*resolved)) return true;
  ungrabVariants(*resolved, m_numLockMask);
  return false;
}

std::expected<void, GrabFailure> HotKeys::grabInWindow(QWindow* window,
                                                       const KeyCombination& combination) {
  if (!m_connected || window == nullptr) return std::unexpected(GrabFailure::noDisplay);
  const auto resolved = resolve(combination);
  if (!resolved) return std::unexpected(GrabFailure::unknownKey);
  const auto id = static_cast<xcb_window_t>(window->winId());
  if (!grabVariants(*resolved, id)) return std::unexpected(GrabFailure::taken);
  m_windowGrabs.push_back({id, combination, *resolved});
  // Presses reach the window before any of its widgets, and before the shortcuts they set off.
  window->installEventFilter(this);
  connect(window, &QObject::destroyed, this, [this, id] {
    std::erase_if(m_windowGrabs, [id](const WindowGrab& grab) { return grab.window == id; });
  });
  return {};
}

void HotKeys::regrabWindowKeys(std::uint16_t oldNumLockMask) {
  for (auto it = m_windowGrabs.begin(); it != m_windowGrabs.end();) {
    ungrabVariants(it->grab, oldNumLockMask, it->window);
    const auto resolved = resolve(it->combination);
    if (resolved && grabVariants(*resolved, it->window)) {
      it->grab = *resolved;
      ++it;
      continue;
    }
    logError("The key {} of a window could not be grabbed again after a keyboard change",
             it->combination.keyName);
    it = m_windowGrabs.erase(it);
  }
}

void HotKeys::regrabAll() {
  // The server also announces a keymap when the typing moves to another keyboard device with the
  // same map: only grabs whose key code or modifier bits really moved are touched.
  const std::uint16_t oldNumLockMask = m_numLockMask;
  loadLayout();
  const bool locksMoved = oldNumLockMask != m_numLockMask;
  // Every grab that moved is let go before any is taken anew: one combination can move to what
  // another held (Alt and Super trading bits), and letting that one go after would undo it.
  std::vector<std::pair<KeyCombination, std::optional<Grab>>> moved;
  for (const auto& [combination, grab] : m_grabs) {
    const auto resolved = resolve(combination);
    if (resolved && !locksMoved && resolved->keycode == grab.keycode &&
        resolved->modifierMask == grab.modifierMask)
      continue;
    ungrabVariants(grab, oldNumLockMask);
    moved.emplace_back(combination, resolved);
  }
  std::vector<KeyCombination> lost;
  for (const auto& [combination, resolved] : moved) {
    if (resolved && grabVariants(*resolved)) {
      m_grabs[combination] = *resolved;
      continue;
    }
    logError("Global shortcut {} could not be grabbed again after a keyboard change",
             combination.keyName);
    lost.push_back(combination);
    m_grabs.erase(combination);
  }
  regrabWindowKeys(oldNumLockMask);
  publishMatching();
  wakeReader();
  for (const KeyCombination& combination : lost) emit grabLost(combination);
  emit layoutChanged();
}

void HotKeys::deliverPress(const KeyCombination& combination, Delivery delivery) {
  const auto outer = std::exchange(m_delivering, delivery);
  emit pressed(combination);
  m_delivering = outer;
  answer(delivery.press);
}

void HotKeys::deliverWindowKey(xcb_key_press_event_t key, std::uint64_t press) {
  key.response_type = XCB_KEY_PRESS;
  key.child = XCB_WINDOW_NONE;
  xcb_send_event(m_x11.get(), 0, key.event, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&key));
  xcb_flush(m_x11.get());
  // A window under a modal one is handed no key: there is nothing to wait for.
  if (QGuiApplication::modalWindow() != nullptr) {
    answer(press);
    return;
  }
  // Sent from this thread, so the window reads it only after this note of what to wait for.
  m_windowKeyDelivery = WindowKeyDelivery{press, key.event, key.detail};
}

bool HotKeys::eventFilter(QObject* watched, QEvent* event) {
  // A key goes to its window as a shortcut override first, and as a press when no shortcut took
  // it.
  if (!m_windowKeyDelivery ||
      (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
    return false;
  const auto* window = static_cast<const QWindow*>(watched);
  if (window->winId() != m_windowKeyDelivery->window ||
      static_cast<const QKeyEvent*>(event)->nativeScanCode() != m_windowKeyDelivery->keycode)
    return false;
  // Answered once this event has been handled: what it sets off (a panel hiding, the keyboard
  // given back) runs within its delivery.
  const std::uint64_t press = std::exchange(m_windowKeyDelivery, std::nullopt)->press;
  QMetaObject::invokeMethod(
      this, [this, press] { answer(press); }, Qt::QueuedConnection);
  return false;
}

void HotKeys::answer(std::uint64_t press) {
  Command answered;
  answered.kind = Command::Kind::answered;
  answered.press = press;
  (void)post(std::move(answered));
}

bool HotKeys::holdKeyboardFor(QWindow* window) {
  if (!m_connected || window == nullptr) return false;
  Command command;
  command.kind = Command::Kind::hold;
  command.window = static_cast<xcb_window_t>(window->winId());
  command.shortcutModifiers = m_delivering ? m_delivering->modifierMask : 0;
  std::future<bool> granted = command.granted.get_future();
  if (!post(std::move(command))) return false;
  // The reader answers after one round trip to the server; it never waits on this thread.
  if (!granted.get()) return false;
  // The kept keys wait for the program's focus, not merely the server's: the toolkit reads a key
  // with the input method of the object it has focused, and a dead key or a Compose sequence that
  // reaches the window before the toolkit has taken in its focus loses its accent.
  if (!std::exchange(m_followingProgram, true))
    QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

bool HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (!m_holding || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  Command::Kind kind = Command::Kind::read;
  xcb_window_t window = XCB_WINDOW_NONE;
  if ((event->response_type & 0x7f) == XCB_FOCUS_IN) {
    const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
    // The window has the focus, not merely the pointer over it.
    if (focus->detail == XCB_NOTIFY_DETAIL_POINTER) return false;
    kind = Command::Kind::focused;
    window = focus->event;
  } else if (event->response_type != (XCB_KEY_PRESS | 0x80)) {
    // Only a sent key press, as the handed ones are, counts as read.
    return false;
  }
  // Told once the event loop comes back: the program has done with the event by then.
  QMetaObject::invokeMethod(
      this,
      [this, kind, window] {
        Command command;
        command.kind = kind;
        command.window = window;
        (void)post(std::move(command));
      },
      Qt::QueuedConnection);
  return false;
}

void HotKeys::dropHeldKeys() {
  Command drop;
  drop.kind = Command::Kind::drop;
  (void)post(std::move(drop));
}

void HotKeys::read() {
  xcb_connection_t* c = m_x11.get();
  pollfd descriptors[] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
  for (;;) {
    const bool stopping = runCommands();
    readEvents();
    if (m_hold && m_hold->stage == Hold::Stage::handing && !m_hold->unread &&
        (!m_hold->keys.empty() || m_down.empty()))
      handOverHeldKeys();
    const int timeout = keepLimits();
    if (stopping) {
      endHold();
      if (std::exchange(m_awaited, std::nullopt)) letKeyboardGo();
      xcb_flush(c);
      break;
    }
    xcb_flush(c);
    if (xcb_connection_has_error(c) != 0 ||
        (::poll(descriptors, 2, timeout) < 0 && errno != EINTR)) {
      QMetaObject::invokeMethod(this, &HotKeys::connectionBroke, Qt::QueuedConnection);
      break;
    }
    std::uint64_t wakes = 0;
    if (descriptors[1].revents != 0 && ::read(m_wake.get(), &wakes, sizeof wakes) < 0)
      logError("Global shortcuts: their reader's wake-up cannot be read (errno {})", errno);
  }
  std::deque<Command> left;
  {
    const std::lock_guard lock(m_mutex);
    m_readerEnded = true;
    left = std::exchange(m_commands, {});
  }
  for (Command& command : left) {
    if (command.kind == Command::Kind::hold) command.granted.set_value(false);
  }
}

bool HotKeys::runCommands() {
  std::deque<Command> commands;
  bool stopping = false;
  {
    const std::lock_guard lock(m_mutex);
    commands = std::exchange(m_commands, {});
    stopping = m_stopping;
  }
  for (Command& command : commands) {
    switch (command.kind) {
      case Command::Kind::hold:
        command.granted.set_value(startHold(command.window, command.shortcutModifiers));
        break;
      case Command::Kind::drop:
        dropHold();
        break;
      case Command::Kind::answered:
        // An answer that comes after the limit finds the keyboard gone on already.
        if (m_awaited && m_awaited->press == command.press) {
          m_awaited.reset();
          letKeyboardGo();
        }
        break;
      case Command::Kind::focused:
        if (m_hold && m_hold->window == command.window && m_hold->stage == Hold::Stage::keeping)
          m_hold->stage = Hold::Stage::handing;
        break;
      case Command::Kind::read:
        if (m_hold) m_hold->unread = false;
        break;
    }
  }
  return stopping;
}

int HotKeys::keepLimits() {
  const auto now = std::chrono::steady_clock::now();
  if (m_awaited && now >= m_awaited->limit) {
    logError("A global shortcut's handler has not returned within {} ms: keys go on without it",
             kAnswerLimit.count());
    m_awaited.reset();
    letKeyboardGo();
  }
  if (m_hold && m_hold->stage == Hold::Stage::keeping && now >= m_hold->limit) {
    logError("The keys typed after a shortcut were dropped: its window never took the keyboard");
    dropHold();
  }
  if (m_hold && m_hold->unread && now >= m_hold->readLimit) {
    logError("A key handed to the shortcut's window was not read within {} ms: the rest go at once",
             kAnswerLimit.count());
    m_hold->unread = false;
    m_hold->paced = false;
    handOverHeldKeys();
  }
  std::optional<std::chrono::steady_clock::time_point> next;
  if (m_awaited) next = m_awaited->limit;
  if (m_hold && m_hold->stage == Hold::Stage::keeping)
    next = next ? std::min(*next, m_hold->limit) : m_hold->limit;
  if (m_hold && m_hold->unread)
    next = next ? std::min(*next, m_hold->readLimit) : m_hold->readLimit;
  if (!next) return -1;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*next - now).count());
}

void HotKeys::letKeyboardGo() {
  if (std::exchange(m_awaitingWindowKey, false)) {
    xcb_ungrab_keyboard(m_x11.get(), XCB_CURRENT_TIME);
    return;
  }
  // A hold's own grab keeps the keyboard going by itself.
  if (!m_hold) xcb_allow_events(m_x11.get(), XCB_ALLOW_ASYNC_KEYBOARD, XCB_CURRENT_TIME);
}

void HotKeys::readEvents() {
  bool layoutChanged = false;
  while (xcb_generic_event_t* raw = xcb_poll_for_event(m_x11.get())) {
    auto event = adopt(raw);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == m_xkbFirstEvent) {
      // The XKB events share one code; the sub-type sits in the second byte.
      const std::uint8_t xkbType = event->pad0;
      const auto* notify = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(raw);
      if ((xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) &&
          notify->deviceID == m_keyboardDevice) {
        layoutChanged = true;
      }
      continue;
    }
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
      // Press and release events share one layout.
      handleKey(*reinterpret_cast<const xcb_key_press_event_t*>(raw));
    }
  }
  // A new keymap or modifier map comes as several events: they are answered with one re-grab.
  if (layoutChanged) QMetaObject::invokeMethod(this, &HotKeys::regrabAll, Qt::QueuedConnection);
}

std::optional<std::pair<KeyCombination, HotKeys::Grab>> HotKeys::match(
    const xcb_key_press_event_t& key) {
  const std::lock_guard lock(m_mutex);
  std::uint32_t modifiers = 0;
  if (key.state & XCB_MOD_MASK_SHIFT) modifiers |= KeyCombination::shift;
  if (key.state & XCB_MOD_MASK_CONTROL) modifiers |= KeyCombination::control;
  if (key.state & m_matching.altMask) modifiers |= KeyCombination::alt;
  if (key.state & m_matching.superMask) modifiers |= KeyCombination::super;
  for (const auto& [combination, grab] : m_matching.grabs) {
    if (grab.keycode == key.detail && combination.modifiers == modifiers)
      return std::pair(combination, grab);
  }
  return std::nullopt;
}

void HotKeys::handleKey(const xcb_key_press_event_t& key) {
  const bool isPress = (key.response_type & 0x7f) == XCB_KEY_PRESS;
  if (m_hold) m_hold->shortcutModifiers &= key.state;
  if (!isPress) {
    // The modifiers may be let go first: the release belongs to the key's press.
    const auto it = m_down.find(key.detail);
    if (it == m_down.end()) {
      if (m_hold) holdKey(key);
      return;
    }
    const KeyCombination combination = it->second;
    m_down.erase(it);
    QMetaObject::invokeMethod(
        this, [this, combination] { emit released(combination); }, Qt::QueuedConnection);
    if (m_hold && m_hold->stage == Hold::Stage::dropping && m_down.empty()) endHold();
    return;
  }
  // Keys come on another window than the root only by a grab in that window.
  if (key.event != m_x11.rootWindow()) {
    awaitWindowKey(key);
    return;
  }
  // A repeat of a held key: its press was delivered already.
  const bool repeat = m_down.contains(key.detail);
  if (const auto matched = repeat ? std::nullopt : match(key)) {
    m_down.emplace(key.detail, matched->first);
    const Delivery delivery{++m_presses, matched->second.modifierMask};
    QMetaObject::invokeMethod(
        this,
        [this, combination = matched->first, delivery] { deliverPress(combination, delivery); },
        Qt::QueuedConnection);
    // A press that took one of the grabs holds the keyboard still until the GUI thread has answered
    // it; a hold's own grab keeps it going.
    if (!m_hold)
      m_awaited = Awaited{delivery.press, std::chrono::steady_clock::now() + kAnswerLimit};
    return;
  }
  if (m_hold && !repeat) holdKey(key);
  letKeyboardGo();
}

void HotKeys::awaitWindowKey(const xcb_key_press_event_t& key) {
  const std::uint64_t press = ++m_presses;
  m_awaited = Awaited{press, std::chrono::steady_clock::now() + kAnswerLimit};
  m_awaitingWindowKey = true;
  QMetaObject::invokeMethod(
      this, [this, key, press] { deliverWindowKey(key, press); }, Qt::QueuedConnection);
}

bool HotKeys::startHold(xcb_window_t window, std::uint16_t shortcutModifiers) {
  // Held already: the keys go to the new window, from now on.
  if (!m_hold && !grabKeyboard(XCB_GRAB_MODE_ASYNC)) return false;
  // The grab let go the keyboard that a press held still.
  m_awaited.reset();
  m_awaitingWindowKey = false;
  m_hold = std::make_unique<Hold>();
  m_hold->window = window;
  m_hold->shortcutModifiers = shortcutModifiers;
  m_hold->limit = std::chrono::steady_clock::now() + kHoldLimit;
  m_holding = true;
  return true;
}

bool HotKeys::grabKeyboard(std::uint8_t keyboardMode) {
  xcb_connection_t* c = m_x11.get();
  const auto grabbed =
      adopt(xcb_grab_keyboard_reply(c,
                                    xcb_grab_keyboard(c, 0, m_x11.rootWindow(), XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, keyboardMode),
                                    nullptr));
  return grabbed && grabbed->status == XCB_GRAB_STATUS_SUCCESS;
}

void HotKeys::dropHold() {
  if (!m_hold) return;
  m_hold->stage = Hold::Stage::dropping;
  m_hold->keys.clear();
  // The combination's key still down keeps the grab until its release: let go before, the
  // release would go elsewhere, and the key's repeats would take the grab as new presses.
  if (m_down.empty()) endHold();
}

void HotKeys::holdKey(const xcb_key_press_event_t& key) {
  Hold& hold = *m_hold;
  if ((key.response_type & 0x7f) == XCB_KEY_PRESS) {
    hold.down.insert(key.detail);
  } else if (hold.down.erase(key.detail) == 0) {
    // A key that was down before the hold began.
    return;
  }
  xcb_key_press_event_t held = key;
  held.state &= ~hold.shortcutModifiers;
  if (hold.stage != Hold::Stage::dropping) hold.keys.push_back(held);
}

void HotKeys::sendToHeldWindow(xcb_key_press_event_t key) {
  // The window's toolkit reads a sent key event with the modifiers it carries.
  key.response_type &= 0x7f;
  key.event = m_hold->window;
  key.child = XCB_WINDOW_NONE;
  xcb_send_event(m_x11.get(), 0, m_hold->window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&key));
}

void HotKeys::handOverHeldKeys() {
  // Stills the keyboard: once the grab's answer is here, so is every key typed before, and the
  // keys typed from now on wait at the server until what may go now has been sent.
  (void)grabKeyboard(XCB_GRAB_MODE_SYNC);
  readEvents();
  // One press at a time, each once the program has read the one before: its toolkit passes on an
  // accent finished by the input method at once, and other keys only after all it has read, so
  // keys read together would come out of order.
  while (!m_hold->keys.empty() && !m_hold->unread) {
    const xcb_key_press_event_t key = m_hold->keys.front();
    m_hold->keys.pop_front();
    sendToHeldWindow(key);
    if (m_hold->paced && (key.response_type & 0x7f) == XCB_KEY_PRESS) {
      m_hold->unread = true;
      m_hold->readLimit = std::chrono::steady_clock::now() + kAnswerLimit;
    }
  }
  if (!m_hold->unread && m_down.empty()) {
    endHold();
    return;
  }
  xcb_allow_events(m_x11.get(), XCB_ALLOW_ASYNC_KEYBOARD, XCB_CURRENT_TIME);
}

void HotKeys::endHold() {
  if (!m_hold) return;
  // The keys still waiting at the server follow the sent ones to the focused window.
  xcb_ungrab_keyboard(m_x11.get(), XCB_CURRENT_TIME);
  m_hold.reset();
  m_holding = false;
  xcb_flush(m_x11.get());
}

}  // namespace tessra::platform
