#include "testing/fake_keyboard.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/ui/keyboard_layout.h"

#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

namespace tessra::testing {

namespace {

xcb_connection_t* connect() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) throw std::runtime_error("no X display for XTEST");
  return connection;
}

void sync(xcb_connection_t* connection) {
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

xcb_window_t rootOf(xcb_connection_t* connection) {
  return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

}  // namespace

FakeKeyboard::FakeKeyboard() : m_connection(connect()) {
  xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION,
                              XKB_X11_MIN_MINOR_XKB_VERSION, XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS,
                              nullptr, nullptr, nullptr, nullptr);
}

FakeKeyboard::~FakeKeyboard() { xcb_disconnect(m_connection); }

std::uint8_t FakeKeyboard::keycode(const std::string& keyName) {
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(m_connection);
  platform::KeyboardLayout layout(xkb_x11_keymap_new_from_device(
      platform::sharedXkbContext(), m_connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
  return static_cast<std::uint8_t>(layout.keycode(keyName).value_or(0));
}

void FakeKeyboard::send(std::uint8_t type, const std::vector<std::uint8_t>& keycodes) {
  for (const std::uint8_t code : keycodes) {
    xcb_test_fake_input(m_connection, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }
  sync(m_connection);
}

void FakeKeyboard::press(std::initializer_list<const char*> keys) {
  std::vector<std::uint8_t> codes;
  for (const char* key : keys) codes.push_back(keycode(key));
  send(XCB_KEY_PRESS, codes);
}

void FakeKeyboard::release(std::initializer_list<const char*> keys) {
  std::vector<std::uint8_t> codes;
  for (const char* key : keys) codes.push_back(keycode(key));
  send(XCB_KEY_RELEASE, codes);
}

void FakeKeyboard::tap(std::initializer_list<const char*> keys) {
  std::vector<std::uint8_t> codes;
  for (const char* key : keys) codes.push_back(keycode(key));
  send(XCB_KEY_PRESS, codes);
  send(XCB_KEY_RELEASE, std::vector<std::uint8_t>(codes.rbegin(), codes.rend()));
}

FakeKeyboard::ForeignGrab::ForeignGrab(std::uint8_t keycode, std::uint16_t modifiers)
    : m_connection(connect()), m_keycode(keycode), m_modifiers(modifiers) {
  xcb_grab_key(m_connection, 1, rootOf(m_connection), modifiers, keycode, XCB_GRAB_MODE_ASYNC,
               XCB_GRAB_MODE_ASYNC);
  sync(m_connection);
}

FakeKeyboard::ForeignGrab::~ForeignGrab() {
  // A disconnect alone frees the grab whenever the server gets to it, maybe after the test has
  // tried to take the key: released and answered first.
  xcb_ungrab_key(m_connection, m_keycode, rootOf(m_connection), m_modifiers);
  sync(m_connection);
  xcb_disconnect(m_connection);
}

}  // namespace tessra::testing
