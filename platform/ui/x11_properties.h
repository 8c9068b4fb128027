// Requests on Qt's own X server connection, so they are ordered with Qt's drawing: atoms, window
// properties and whether a compositor runs.
//
//   xcb_connection_t* c = x11::connection();   // null when the program is not on X11
//   xcb_atom_t stacking = x11::atom(c, "_NET_CLIENT_LIST_STACKING");
//
// GUI thread only (Qt's connection belongs to it).
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessra::platform::x11 {

// Frees an xcb reply or error.
struct FreeDeleter {
  void operator()(void* pointer) const;
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// Qt's connection to the X server, or null when the application is not on the xcb platform.
xcb_connection_t* connection();
// The root window of the connection's first screen.
xcb_window_t rootWindow(xcb_connection_t* connection);

// The atom named `name` (created when missing); XCB_ATOM_NONE when the server does not answer.
xcb_atom_t atom(xcb_connection_t* connection, std::string_view name);

// The whole value of a window property, with its type and format; absent when it is not set.
struct Property {
  xcb_atom_t type = XCB_ATOM_NONE;
  std::uint8_t format = 0;
  std::string bytes;

  // The value as 32-bit items (formats 32 only).
  std::vector<std::uint32_t> cardinals() const;
};
std::optional<Property> property(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_atom_t name);

// Whether a compositing manager owns the screen's selection, so translucent windows and fades
// are drawn as such.
bool isCompositorRunning(xcb_connection_t* connection);

}  // namespace tessra::platform::x11
