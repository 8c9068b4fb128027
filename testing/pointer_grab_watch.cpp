#include "testing/pointer_grab_watch.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace tessra::testing {

PointerGrabWatch::PointerGrabWatch() : m_connection(xcb_connect(nullptr, nullptr)) {
  if (xcb_connection_has_error(m_connection)) return;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
  const std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
      xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, root), nullptr),
      &std::free);
  // The top-level window under the pointer hears it leave whichever of its windows holds it.
  const xcb_window_t under = pointer && pointer->child != XCB_NONE ? pointer->child : root;
  const std::uint32_t mask = XCB_EVENT_MASK_LEAVE_WINDOW;
  xcb_change_window_attributes(m_connection, under, XCB_CW_EVENT_MASK, &mask);
  // Answered once the server has taken the mask.
  std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

PointerGrabWatch::~PointerGrabWatch() { xcb_disconnect(m_connection); }

bool PointerGrabWatch::grabbed() {
  if (m_grabbed || xcb_connection_has_error(m_connection)) return m_grabbed;
  // A round trip: every event the server sent before it has arrived.
  std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
  while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
    if ((event->response_type & ~0x80) == XCB_LEAVE_NOTIFY &&
        reinterpret_cast<const xcb_leave_notify_event_t*>(event)->mode == XCB_NOTIFY_MODE_GRAB)
      m_grabbed = true;
    std::free(event);
  }
  return m_grabbed;
}

}  // namespace tessra::testing
