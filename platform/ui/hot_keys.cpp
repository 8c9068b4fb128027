#include "platform/ui/hot_keys.h"

#include <xcb/xcb.h>
// The protocol header names a member `explicit`, a keyword in C++.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QMetaObject>
#include <array>
#include <cstdlib>
#include <initializer_list>

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

HotKeys& HotKeys::shared() {
  // Lives until the process ends; its connection closes with the process.
  static HotKeys* const instance = new HotKeys();
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
  m_connected = true;
  m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_x11.get()),
                                                 QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &HotKeys::processEvents);
  xcb_flush(m_x11.get());
}

HotKeys::~HotKeys() = default;

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
  m_altMask = m_superMask = m_numLockMask = 0;
  const auto isKey = [&](xcb_keycode_t code, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (m_layout->keycode(name) == code) return true;
    }
    return false;
  };
  if (reply) {
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    // Shift, Lock and Control are fixed; Mod1 to Mod5 are whatever the map puts there.
    for (int modifier = 3; modifier < 8; ++modifier) {
      const auto bit = static_cast<std::uint16_t>(1u << modifier);
      for (int i = 0; i < perModifier; ++i) {
        const xcb_keycode_t code = keycodes[modifier * perModifier + i];
        if (code == 0) continue;
        if (isKey(code, {"NMLK"})) m_numLockMask |= bit;
        if (isKey(code, {"LALT", "RALT"})) m_altMask |= bit;
        if (isKey(code, {"LWIN", "RWIN"})) m_superMask |= bit;
      }
    }
  }
  // The usual assignment, for a server whose map names none of these keys.
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

std::uint32_t HotKeys::modifiersOf(std::uint16_t state) const {
  std::uint32_t modifiers = 0;
  if (state & XCB_MOD_MASK_SHIFT) modifiers |= KeyCombination::shift;
  if (state & XCB_MOD_MASK_CONTROL) modifiers |= KeyCombination::control;
  if (state & m_altMask) modifiers |= KeyCombination::alt;
  if (state & m_superMask) modifiers |= KeyCombination::super;
  return modifiers;
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

bool HotKeys::grabVariants(const Grab& grab) {
  xcb_connection_t* c = m_x11.get();
  std::vector<xcb_void_cookie_t> cookies;
  for (const std::uint16_t variant : lockVariants(m_numLockMask)) {
    cookies.push_back(xcb_grab_key_checked(
        c, 1, m_x11.rootWindow(), std::uint16_t(grab.modifierMask | variant),
        static_cast<xcb_keycode_t>(grab.keycode), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  }
  bool taken = false;
  for (const xcb_void_cookie_t cookie : cookies) {
    auto error = adopt(xcb_request_check(c, cookie));
    if (error && error->error_code == kBadAccess) taken = true;
  }
  if (taken) ungrabVariants(grab, m_numLockMask);
  scheduleProcessEvents();
  return !taken;
}

void HotKeys::ungrabVariants(const Grab& grab, std::uint16_t numLockMask) {
  // Releasing a variant this connection does not hold leaves another program's grab alone.
  for (const std::uint16_t variant : lockVariants(numLockMask)) {
    xcb_ungrab_key(m_x11.get(), static_cast<xcb_keycode_t>(grab.keycode), m_x11.rootWindow(),
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
  return {};
}

void HotKeys::ungrab(const KeyCombination& combination) {
  const auto it = m_grabs.find(combination);
  if (it == m_grabs.end()) return;
  ungrabVariants(it->second, m_numLockMask);
  m_grabs.erase(it);
}

bool HotKeys::isGrabbed(const KeyCombination& combination) const {
  return m_grabs.contains(combination);
}

bool HotKeys::isTaken(const KeyCombination& combination) {
  if (!m_connected || m_grabs.contains(combination)) return false;
  const auto resolved = resolve(combination);
  if (!resolved) return false;
  if (!grabVariants(*resolved)) return true;
  ungrabVariants(*resolved, m_numLockMask);
  return false;
}

void HotKeys::regrabAll() {
  // The server also announces a keymap when the typing moves to another keyboard device with the
  // same map: only grabs whose key code or modifier bits really moved are touched.
  const std::uint16_t oldNumLockMask = m_numLockMask;
  loadLayout();
  const bool locksMoved = oldNumLockMask != m_numLockMask;
  std::vector<KeyCombination> lost;
  for (auto it = m_grabs.begin(); it != m_grabs.end();) {
    const auto resolved = resolve(it->first);
    if (resolved && !locksMoved && resolved->keycode == it->second.keycode &&
        resolved->modifierMask == it->second.modifierMask) {
      ++it;
      continue;
    }
    ungrabVariants(it->second, oldNumLockMask);
    if (resolved && grabVariants(*resolved)) {
      it->second = *resolved;
      ++it;
      continue;
    }
    logError("Global shortcut {} could not be grabbed again after a keyboard change",
             it->first.keyName);
    lost.push_back(it->first);
    it = m_grabs.erase(it);
  }
  for (const KeyCombination& combination : lost) emit grabLost(combination);
  emit layoutChanged();
}

void HotKeys::scheduleProcessEvents() {
  // A reply wait can leave events in the connection's queue without the socket turning
  // readable again.
  QMetaObject::invokeMethod(this, &HotKeys::processEvents, Qt::QueuedConnection);
}

void HotKeys::processEvents() {
  if (!m_connected) return;
  bool layoutChangedMeanwhile = false;
  while (xcb_generic_event_t* raw = xcb_poll_for_event(m_x11.get())) {
    auto event = adopt(raw);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == m_xkbFirstEvent) {
      // The XKB events share one code; the sub-type sits in the second byte.
      const std::uint8_t xkbType = event->pad0;
      const auto* notify = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t*>(raw);
      if ((xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) &&
          notify->deviceID == m_keyboardDevice) {
        layoutChangedMeanwhile = true;
      }
      continue;
    }
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
      // Press and release events share one layout.
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(raw);
      handleKey(type == XCB_KEY_PRESS, key->detail, key->state);
    }
  }
  if (layoutChangedMeanwhile) regrabAll();
  xcb_flush(m_x11.get());
}

void HotKeys::handleKey(bool isPress, std::uint32_t keycode, std::uint16_t state) {
  if (!isPress) {
    // The modifiers may be let go first: the release belongs to the key's press.
    const auto it = m_down.find(keycode);
    if (it == m_down.end()) return;
    const KeyCombination combination = it->second;
    m_down.erase(it);
    emit released(combination);
    return;
  }
  // A repeat of a held key: its press was delivered already.
  if (m_down.contains(keycode)) return;
  const std::uint32_t modifiers = modifiersOf(state);
  for (const auto& [combination, grab] : m_grabs) {
    if (grab.keycode != keycode || combination.modifiers != modifiers) continue;
    const KeyCombination pressedCombination = combination;
    m_down.emplace(keycode, pressedCombination);
    emit pressed(pressedCombination);
    return;
  }
}

}  // namespace tessra::platform
