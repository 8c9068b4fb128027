#include "platform/ui/window_list.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <ranges>

#include "platform/ui/x11_connection.h"

namespace tessra::platform {

namespace {

struct Atoms {
  explicit Atoms(xcb_connection_t* c)
      : stacking(x11::atom(c, "_NET_CLIENT_LIST_STACKING")),
        netWmName(x11::atom(c, "_NET_WM_NAME")),
        utf8String(x11::atom(c, "UTF8_STRING")),
        windowType(x11::atom(c, "_NET_WM_WINDOW_TYPE")),
        normalType(x11::atom(c, "_NET_WM_WINDOW_TYPE_NORMAL")),
        pid(x11::atom(c, "_NET_WM_PID")),
        icon(x11::atom(c, "_NET_WM_ICON")) {}
  xcb_atom_t stacking, netWmName, utf8String, windowType, normalType, pid, icon;
};

// Bottom to top, as both the stacking list and the root's children are ordered.
std::vector<xcb_window_t> stackingOrder(xcb_connection_t* c, xcb_window_t root,
                                        const Atoms& atoms) {
  if (std::optional<x11::Property> list = x11::property(c, root, atoms.stacking);
      list && list->type == XCB_ATOM_WINDOW) {
    std::vector<std::uint32_t> ids = list->cardinals();
    return {ids.begin(), ids.end()};
  }
  const x11::Reply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  return {children, children + xcb_query_tree_children_length(tree.get())};
}

bool isViewable(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
         !attributes->override_redirect && attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
}

// A window without a type counts as normal, as the window-manager convention says.
bool isNormalType(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms) {
  std::optional<x11::Property> type = x11::property(c, window, atoms.windowType);
  if (!type) return true;
  std::vector<std::uint32_t> types = type->cardinals();
  return !types.empty() && types.front() == atoms.normalType;
}

std::string windowName(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms) {
  if (std::optional<x11::Property> name = x11::property(c, window, atoms.netWmName);
      name && name->format == 8 && !name->bytes.empty())
    return name->bytes;
  std::optional<x11::Property> name = x11::property(c, window, XCB_ATOM_WM_NAME);
  return name && name->format == 8 ? name->bytes : std::string();
}

std::optional<std::uint32_t> processId(xcb_connection_t* c, xcb_window_t window,
                                       const Atoms& atoms) {
  std::optional<x11::Property> pid = x11::property(c, window, atoms.pid);
  if (!pid) return std::nullopt;
  std::vector<std::uint32_t> values = pid->cardinals();
  if (values.empty()) return std::nullopt;
  return values.front();
}

std::string applicationName(xcb_connection_t* c, xcb_window_t window,
                            std::optional<std::uint32_t> pid) {
  // WM_CLASS holds the instance and the class name, each ended by a NUL.
  if (std::optional<x11::Property> wmClass = x11::property(c, window, XCB_ATOM_WM_CLASS);
      wmClass && wmClass->format == 8) {
    const std::string& bytes = wmClass->bytes;
    const std::size_t end = bytes.find('\0');
    if (end != std::string::npos) {
      std::string className = bytes.substr(end + 1);
      className.erase(std::find(className.begin(), className.end(), '\0'), className.end());
      if (!className.empty()) return className;
    }
  }
  if (!pid) return {};
  std::ifstream comm("/proc/" + std::to_string(*pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// The icon entry nearest 16 pixels (the smallest at least that big, else the biggest), as the
// menu shows it.
QImage icon(xcb_connection_t* c, xcb_window_t window, const Atoms& atoms) {
  constexpr std::uint32_t kWanted = 16;
  std::optional<x11::Property> property = x11::property(c, window, atoms.icon);
  if (!property) return {};
  const std::vector<std::uint32_t> data = property->cardinals();
  std::size_t best = data.size();
  std::uint32_t bestSize = 0;
  for (std::size_t at = 0; at + 2 <= data.size();) {
    const std::uint32_t width = data[at], height = data[at + 1];
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (width == 0 || height == 0 || pixels > data.size() - at - 2) break;
    const std::uint32_t size = std::max(width, height);
    const bool better = best == data.size() || (bestSize < kWanted && size > bestSize) ||
                        (size >= kWanted && size < bestSize);
    if (better) best = at, bestSize = size;
    at += 2 + pixels;
  }
  if (best == data.size()) return {};
  const int width = static_cast<int>(data[best]), height = static_cast<int>(data[best + 1]);
  QImage image(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = data[best + 2 + std::size_t(y) * width + x];
  }
  if (bestSize == kWanted) return image;
  return image.scaled(kWanted, kWanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

std::string WindowInfo::title() const {
  if (applicationName.empty() || applicationName == name) return name;
  return applicationName + " - " + name;
}

std::vector<WindowInfo> listWindows() {
  xcb_connection_t* c = x11::connection();
  return c ? listWindows(c) : std::vector<WindowInfo>{};
}

std::vector<WindowInfo> listWindows(xcb_connection_t* c) {
  const Atoms atoms(c);
  const auto ourPid = static_cast<std::uint32_t>(::getpid());
  std::vector<WindowInfo> windows;
  for (xcb_window_t window : stackingOrder(c, x11::rootWindow(c), atoms) | std::views::reverse) {
    if (!isViewable(c, window) || !isNormalType(c, window, atoms)) continue;
    const std::optional<std::uint32_t> pid = processId(c, window, atoms);
    if (pid == ourPid) continue;
    std::string name = windowName(c, window, atoms);
    if (name.empty()) continue;
    windows.push_back(
        {window, std::move(name), applicationName(c, window, pid), icon(c, window, atoms)});
  }
  return windows;
}

}  // namespace tessra::platform
