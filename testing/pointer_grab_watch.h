// Tells when a popup (or any other client) has taken the pointer with a grab, for tests that open
// a popup beside the pointer and then click outside it.
//
//   testing::PointerGrabWatch grab;  // the pointer where it stays until the click
//   testing::pressKeys("Return");    // opens the popup
//   ASSERT_EVENTUALLY(grab.grabbed(), 20000);
//   testing::clickAt(outside.x(), outside.y());
//
// A popup takes the pointer a few round trips to the server after its window is mapped, before it
// is drawn, so a user never clicks it earlier; a click sent at the map reaches whatever lies under
// the pointer, and on a loaded machine that moment is long. X has no request that names the holder
// of a grab, but a grab moves the pointer out of the window it is in, as leaving the window does,
// with the mode "grab". The watch listens to the window under the pointer as it starts and waits
// for that event.
//
// On a connection of its own, to the display of DISPLAY. One thread.
#pragma once

#include <memory>

struct xcb_connection_t;

namespace tessra::testing {

class PointerGrabWatch {
 public:
  PointerGrabWatch();
  ~PointerGrabWatch();
  PointerGrabWatch(const PointerGrabWatch&) = delete;
  PointerGrabWatch& operator=(const PointerGrabWatch&) = delete;

  // Whether a pointer grab has begun since the watch started; reads what the server reported.
  bool grabbed();

 private:
  xcb_connection_t* m_connection;
  bool m_grabbed = false;
};

}  // namespace tessra::testing
