// Real X key events for tests and benchmarks, sent through the XTEST extension on a connection of
// its own, so the X server treats them as the user's typing.
//
//   FakeKeyboard keyboard;
//   keyboard.press({"LALT", "SPCE"});     // held down in that order
//   keyboard.release({"SPCE", "LALT"});
//   keyboard.tap({"LCTL", "LALT", "AC08"}); // Ctrl+Alt+K: pressed in order, released in reverse
//
// Keys are XKB names, found in the server's current keymap. Every call waits until the server
// has taken the events.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace tessra::testing {

class FakeKeyboard {
 public:
  FakeKeyboard();
  ~FakeKeyboard();
  FakeKeyboard(const FakeKeyboard&) = delete;
  FakeKeyboard& operator=(const FakeKeyboard&) = delete;

  void press(std::initializer_list<const char*> keys);
  void release(std::initializer_list<const char*> keys);
  void tap(std::initializer_list<const char*> keys);
  // The hardware key code of a key name in the server's keymap now (0 when unknown).
  std::uint8_t keycode(const std::string& keyName);

  // A second X client, holding a grab of the key with these X modifiers until it goes; the grab
  // is released by the time it has gone.
  class ForeignGrab {
   public:
    ForeignGrab(std::uint8_t keycode, std::uint16_t modifiers);
    ~ForeignGrab();
    ForeignGrab(const ForeignGrab&) = delete;
    ForeignGrab& operator=(const ForeignGrab&) = delete;

   private:
    xcb_connection_t* m_connection;
    std::uint8_t m_keycode;
    std::uint16_t m_modifiers;
  };

 private:
  void send(std::uint8_t type, const std::vector<std::uint8_t>& keycodes);
  xcb_connection_t* m_connection;
};

}  // namespace tessra::testing
