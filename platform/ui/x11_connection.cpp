#include "platform/ui/x11_connection.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

namespace tessra::platform::x11 {

void FreeDeleter::operator()(void* pointer) const { std::free(pointer); }

xcb_connection_t* connection() {
  auto* application = qGuiApp;
  if (!application) return nullptr;
  auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  return screen ? screen->root : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_atom_t atom(xcb_connection_t* connection, std::string_view name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> Property::cardinals() const {
  std::vector<std::uint32_t> values(format == 32 ? bytes.size() / 4 : 0);
  if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * 4);
  return values;
}

std::optional<Property> property(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t name) {
  // Read in one request; a window icon of several sizes runs to a few hundred kilobytes.
  constexpr std::uint32_t kMaxLongs = 16 * 1024 * 1024;
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxLongs);
  const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE) return std::nullopt;
  const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
  const int length = xcb_get_property_value_length(reply.get());
  return Property{reply->type, reply->format,
                  std::string(data, static_cast<std::size_t>(std::max(length, 0)))};
}

bool isCompositorRunning(xcb_connection_t* connection) {
  int screenNumber = 0;
  if (const char* display = std::getenv("DISPLAY")) {
    if (const char* dot = std::strrchr(display, '.')) screenNumber = std::atoi(dot + 1);
  }
  const xcb_atom_t selection = atom(connection, "_NET_WM_CM_S" + std::to_string(screenNumber));
  if (selection == XCB_ATOM_NONE) return false;
  const Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr));
  return reply && reply->owner != XCB_WINDOW_NONE;
}

}  // namespace tessra::platform::x11
