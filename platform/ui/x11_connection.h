// An xcb connection of our own to the X server, closed when the object goes.
//
// Qt's connection belongs to Qt; services that select events Qt would not expect (raw input on
// the root window) or that must not disturb Qt's event queue open their own.
//
//   platform::X11Connection x;
//   if (!x.isValid()) return;  // no X server: logged
//   xcb_query_pointer(x.get(), x.rootWindow());
//
// One thread at a time; the services here use it on the GUI thread.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>

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
