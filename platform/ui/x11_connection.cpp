#include "platform/ui/x11_connection.h"

#include <cstdlib>

namespace tessra::platform {

X11Connection::X11Connection(const char* displayName) {
  int screenNumber = 0;
  m_connection.reset(xcb_connect(displayName, &screenNumber));
  if (!isValid()) return;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get()));
  for (int i = 0; it.rem > 0 && i < screenNumber; ++i) xcb_screen_next(&it);
  if (it.rem > 0) m_root = it.data->root;
}

bool X11Connection::isValid() const {
  return m_connection && xcb_connection_has_error(m_connection.get()) == 0;
}

std::optional<std::pair<int, int>> X11Connection::pointerPosition() const {
  if (!isValid() || m_root == 0) return std::nullopt;
  std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
      xcb_query_pointer_reply(get(), xcb_query_pointer(get(), m_root), nullptr), &std::free);
  if (!reply) return std::nullopt;
  return std::pair<int, int>{reply->root_x, reply->root_y};
}

std::optional<std::string> X11Connection::unavailableReason() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0')
    return "Tessra needs an X11 display (or XWayland), and DISPLAY is not set.";
  if (X11Connection(display).isValid()) return std::nullopt;
  return std::string("Tessra cannot connect to the X11 display \"") + display + "\".";
}

}  // namespace tessra::platform
