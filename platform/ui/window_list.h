// The windows of other programs on the screen, front first, as the screenshot menu lists them.
//
//   for (const platform::WindowInfo& window : platform::listWindows()) menu.add(window.title());
//
// Under a window manager the order is its stacking list (_NET_CLIENT_LIST_STACKING); without one
// it is the mapped children of the root. Listed are viewable windows of the normal type that have
// a name and are not the program's own (override-redirect pop-ups, docks, menus and our panels
// never appear). GUI thread only.
#pragma once

#include <xcb/xcb.h>

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

namespace tessra::platform {

struct WindowInfo {
  xcb_window_t window = XCB_WINDOW_NONE;
  // _NET_WM_NAME, else WM_NAME.
  std::string name;
  // The class part of WM_CLASS, else the command name of the owning process; may be empty.
  std::string applicationName;
  // The application's icon from _NET_WM_ICON, about 16 pixels; null when it has none.
  QImage icon;

  // What the menu shows: "<application> - <name>", or the name alone when there is no
  // application name or it is the name.
  std::string title() const;
};

// On Qt's connection; empty when the program is not on X11.
std::vector<WindowInfo> listWindows();
std::vector<WindowInfo> listWindows(xcb_connection_t* connection);

}  // namespace tessra::platform
