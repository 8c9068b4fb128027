#include "platform/ui/window_frame.h"

#include <QCoreApplication>
#include <QWidget>
#include <QWindow>

#include <cmath>

#include "platform/ui/x11_properties.h"

namespace tessra::platform {
namespace {

constexpr const char* kExtentsName = "_NET_FRAME_EXTENTS";

// The window an event tells of, for the events that can tell of its frame.
std::optional<xcb_window_t> windowOf(const xcb_generic_event_t& event, xcb_atom_t extents) {
  switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
      const auto& property = reinterpret_cast<const xcb_property_notify_event_t&>(event);
      if (property.atom != extents) return std::nullopt;
      return property.window;
    }
    case XCB_REPARENT_NOTIFY:
      return reinterpret_cast<const xcb_reparent_notify_event_t&>(event).window;
    case XCB_CONFIGURE_NOTIFY:
      return reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
    case XCB_MAP_NOTIFY:
      return reinterpret_cast<const xcb_map_notify_event_t&>(event).window;
    default:
      return std::nullopt;
  }
}

}  // namespace

WindowFrame::WindowFrame(QWidget* window) : QObject(window), m_window(window) {
  xcb_connection_t* c = x11::connection();
  if (c == nullptr) return;
  m_extentsAtom = x11::atom(c, kExtentsName);
  QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowFrame::~WindowFrame() = default;

bool WindowFrame::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  const auto window = static_cast<xcb_window_t>(m_window->internalWinId());
  if (eventType != "xcb_generic_event_t" || window == XCB_WINDOW_NONE) return false;
  if (windowOf(*static_cast<const xcb_generic_event_t*>(message), m_extentsAtom) == window)
    scheduleRead();
  return false;
}

void WindowFrame::scheduleRead() {
  if (m_readScheduled) return;
  m_readScheduled = true;
  // Read once Qt has handled the event, and once for a burst of them (a drag moves the window
  // many times).
  QMetaObject::invokeMethod(this, &WindowFrame::read, Qt::QueuedConnection);
}

void WindowFrame::read() {
  m_readScheduled = false;
  std::optional<QMargins> extents = readDevicePixels();
  if (extents) {
    const QWindow* handle = m_window->windowHandle();
    const qreal ratio = handle ? handle->devicePixelRatio() : 1.0;
    const auto scaled = [ratio](int pixels) { return static_cast<int>(std::ceil(pixels / ratio)); };
    extents = QMargins(scaled(extents->left()), scaled(extents->top()), scaled(extents->right()),
                       scaled(extents->bottom()));
  }
  if (extents == m_extents) return;
  m_extents = extents;
  emit changed();
}

std::optional<QMargins> WindowFrame::readDevicePixels() const {
  xcb_connection_t* c = x11::connection();
  const auto window = static_cast<xcb_window_t>(m_window->internalWinId());
  if (c == nullptr || window == XCB_WINDOW_NONE) return std::nullopt;
  if (const auto published = x11::property(c, window, m_extentsAtom)) {
    // Left, right, top, bottom.
    const std::vector<std::uint32_t> values = published->cardinals();
    if (values.size() == 4)
      return QMargins(static_cast<int>(values[0]), static_cast<int>(values[2]),
                      static_cast<int>(values[1]), static_cast<int>(values[3]));
  }
  // Without published extents, the frame is the child of the root that holds the window.
  const xcb_window_t root = x11::rootWindow(c);
  xcb_window_t frame = window;
  while (true) {
    const x11::Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, frame), nullptr));
    if (!tree) return std::nullopt;
    if (tree->parent == root) break;
    frame = tree->parent;
  }
  if (frame == window) return std::nullopt;
  const x11::Reply<xcb_get_geometry_reply_t> outer(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr));
  const x11::Reply<xcb_get_geometry_reply_t> inner(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  const x11::Reply<xcb_translate_coordinates_reply_t> offset(xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, window, frame, 0, 0), nullptr));
  if (!outer || !inner || !offset) return std::nullopt;
  const int left = offset->dst_x;
  const int top = offset->dst_y;
  return QMargins(left, top, outer->width - inner->width - left,
                  outer->height - inner->height - top);
}

}  // namespace tessra::platform
