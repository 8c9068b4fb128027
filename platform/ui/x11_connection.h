// The X server connections the windowing layer talks to.
//
// Qt's own connection (`x11::connection()`), so requests and Qt's drawing are ordered on one
// connection, with the atoms and properties our requests name:
//
//   xcb_connection_t* c = x11::connection();   // null when the program is not on X11
//   xcb_atom_t stacking = x11::atom(c, "_NET_CLIENT_LIST_STACKING");
//
// And a connection of our own (`X11Connection`), closed when the object goes, for services that
// select events Qt would not expect (raw input on the root window) or that must not disturb Qt's
// event queue:
//
//   platform::X11Connection x;
//   if (!x.isValid()) return;  // no X server: logged
//   xcb_query_pointer(x.get(), x.rootWindow());
//
// GUI thread only (Qt's connection belongs to it); one thread at a time for an own connection.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessra::platform {

class X11Connection {
 public:
  // Connects to the display named by DISPLAY (or `displayName`).
  explicit X11Connection(const char* displayName = nullptr);
  X11Connection(X11Connection&&) noexcept = default;
  X11Connection& operator=(X11Connection&&) noexcept = default;

  bool isValid() const;
  xcb_connection_t* get() const { return m_connection.get(); }
  // The root window of the default screen; 0 without a connection.
  xcb_window_t rootWindow() const { return m_root; }
  // The pointer's position on the root window, in device pixels; nothing without a connection.
  std::optional<std::pair<int, int>> pointerPosition() const;

  // Whether an X server answers on DISPLAY; when not, the reason as a sentence for the user.
  static std::optional<std::string> unavailableReason();

 private:
  struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
  };
  std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
  xcb_window_t m_root = 0;
};

}  // namespace tessra::platform

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
