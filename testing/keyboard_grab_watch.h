// Tells when a menu (or any other client) has taken the keyboard with a grab, for tests that
// open a menu and then choose from it with the keys.
//
//   testing::KeyboardGrabWatch grab;   // before the click that opens the menu
//   testing::clickAt(icon.x(), icon.y(), 3);
//   ASSERT_EVENTUALLY(grab.grabbed(), 20000);
//   testing::pressKeys("Up");
//
// A menu takes the keyboard a moment after its window is mapped: keys sent before that reach
// whatever had the keyboard, and on a loaded machine that moment is long. X has no request that
// names the holder of a grab, but a grab moves the focus as a focus change does, with the mode
// "grab": the window that had the focus (or the root, when the focus was the root, the pointer's
// root or none) is told that the focus left it for a grab. The watch follows the focus from its
// start and waits for that event.
//
// On a connection of its own, to the display of DISPLAY. One thread.
#pragma once

#include <cstdint>

struct xcb_connection_t;

namespace tessra::testing {

class KeyboardGrabWatch {
 public:
  KeyboardGrabWatch();
  ~KeyboardGrabWatch();
  KeyboardGrabWatch(const KeyboardGrabWatch&) = delete;
  KeyboardGrabWatch& operator=(const KeyboardGrabWatch&) = delete;

  // Whether a keyboard grab has begun since the watch started; reads what the server reported.
  bool grabbed();

 private:
  // Listens to the focus changes of the window that has the focus now.
  void followFocus();

  xcb_connection_t* m_connection;
  std::uint32_t m_root = 0;
  bool m_grabbed = false;
};

}  // namespace tessra::testing
