#include "testing/keyboard_grab_watch.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tessra::testing {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

void listenToFocus(xcb_connection_t* connection, xcb_window_t window) {
  const std::uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
  xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

}  // namespace

KeyboardGrabWatch::KeyboardGrabWatch() : m_connection(xcb_connect(nullptr, nullptr)) {
  if (xcb_connection_has_error(m_connection)) return;
  m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
  listenToFocus(m_connection, m_root);
  followFocus();
}

KeyboardGrabWatch::~KeyboardGrabWatch() { xcb_disconnect(m_connection); }

void KeyboardGrabWatch::followFocus() {
  // The reply comes after the server has taken the change of event mask before it.
  Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr),
      &std::free);
  if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
      focus->focus == m_root)
    return;
  listenToFocus(m_connection, focus->focus);
  // A focus that moved on while the mask was set is read again.
  Reply<xcb_get_input_focus_reply_t> after(
      xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr),
      &std::free);
  if (after && after->focus != focus->focus) followFocus();
}

bool KeyboardGrabWatch::grabbed() {
  if (m_grabbed || xcb_connection_has_error(m_connection)) return m_grabbed;
  // A round trip: every event the server sent before it has arrived.
  std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
  bool moved = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
    const auto type = event->response_type & ~0x80;
    if (type == XCB_FOCUS_OUT || type == XCB_FOCUS_IN) {
      const auto* change = reinterpret_cast<const xcb_focus_out_event_t*>(event);
      if (type == XCB_FOCUS_OUT && change->mode == XCB_NOTIFY_MODE_GRAB) m_grabbed = true;
      if (change->mode == XCB_NOTIFY_MODE_NORMAL) moved = true;
    }
    std::free(event);
  }
  if (!m_grabbed && moved) followFocus();
  return m_grabbed;
}

}  // namespace tessra::testing
