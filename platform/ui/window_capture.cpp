#include "platform/ui/window_capture.h"

#include <xcb/composite.h>
#include <xcb/shape.h>

#include <QRegion>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/foundation/logger.h"
#include "platform/ui/repaint_watch.h"
#include "platform/ui/x11_properties.h"

namespace tessra::platform {

namespace {

// The bits per pixel the server uses for a depth in Z format.
int bitsPerPixel(xcb_connection_t* c, std::uint8_t depth) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  for (xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup); it.rem;
       xcb_format_next(&it)) {
    if (it.data->depth == depth) return it.data->bits_per_pixel;
  }
  return 0;
}

std::optional<QImage> readImage(xcb_connection_t* c, xcb_drawable_t drawable, int width,
                                int height) {
  const x11::Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, static_cast<std::uint16_t>(width),
                    static_cast<std::uint16_t>(height), ~0u),
      nullptr));
  if (!reply) return std::nullopt;
  // 24- and 32-bit visuals are stored as 32-bit little-endian BGRX words, Qt's RGB32.
  if (reply->depth < 24 || bitsPerPixel(c, reply->depth) != 32) {
    logError("Cannot read a screen of depth {}", reply->depth);
    return std::nullopt;
  }
  const auto* data = xcb_get_image_data(reply.get());
  const std::size_t lineBytes = static_cast<std::size_t>(width) * 4;
  if (static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < lineBytes * height)
    return std::nullopt;
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), data + y * lineBytes, lineBytes);
  return image;
}

struct Geometry {
  int width = 0;
  int height = 0;
};

std::optional<Geometry> geometry(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_get_geometry_reply_t> reply(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!reply || reply->width == 0 || reply->height == 0) return std::nullopt;
  return Geometry{reply->width, reply->height};
}

bool hasComposite(xcb_connection_t* c) {
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_composite_id);
  return extension && extension->present;
}

// A redirected window's own pixels; absent when the window is drawn straight onto the screen
// (the server then refuses to name a pixmap for it).
std::optional<QImage> compositePixels(xcb_connection_t* c, xcb_window_t window, Geometry size) {
  if (!hasComposite(c)) return std::nullopt;
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  const x11::Reply<xcb_generic_error_t> error(
      xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, window, pixmap)));
  if (error) return std::nullopt;
  std::optional<QImage> image = readImage(c, pixmap, size.width, size.height);
  xcb_free_pixmap(c, pixmap);
  return image;
}

bool isMapped(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
  return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

xcb_window_t parentOf(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  return tree ? tree->parent : XCB_NONE;
}

// Where a child of the root stands: its area with the border, and where its inside begins.
struct Placement {
  QRect frame;
  QPoint inside;
};
std::optional<Placement> placement(xcb_connection_t* c, xcb_window_t window) {
  const x11::Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!geometry) return std::nullopt;
  const int border = geometry->border_width;
  return Placement{
      {geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border},
      {geometry->x + border, geometry->y + border}};
}

// The pixels a child of the root covers: its shape (rounded corners cover nothing).
QRegion coveredBy(xcb_connection_t* c, xcb_window_t window) {
  const std::optional<Placement> place = placement(c, window);
  if (!place) return {};
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_shape_id);
  if (extension == nullptr || !extension->present) return place->frame;
  const x11::Reply<xcb_shape_get_rectangles_reply_t> shape(xcb_shape_get_rectangles_reply(
      c, xcb_shape_get_rectangles(c, window, XCB_SHAPE_SK_BOUNDING), nullptr));
  if (!shape) return place->frame;
  QRegion covered;
  const xcb_rectangle_t* rectangles = xcb_shape_get_rectangles_rectangles(shape.get());
  for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(shape.get()); ++i) {
    const xcb_rectangle_t& r = rectangles[i];
    covered += QRect(r.x, r.y, r.width, r.height);
  }
  return covered.translated(place->inside) & place->frame;
}

// What unmapping `hidden` (children of the root) shows of the windows beneath: the pixels they
// cover, less those of the windows that stay stacked above them.
QRegion uncoveredBy(xcb_connection_t* c, xcb_window_t root, std::span<const xcb_window_t> hidden) {
  const x11::Reply<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return {};
  const std::span<const xcb_window_t> children(xcb_query_tree_children(tree.get()),
                                               xcb_query_tree_children_length(tree.get()));
  QRegion uncovered;
  // Bottom to top.
  for (xcb_window_t child : children) {
    if (std::ranges::find(hidden, child) != hidden.end()) {
      uncovered += coveredBy(c, child);
    } else if (!uncovered.isEmpty() && isMapped(c, child)) {
      if (const std::optional<Placement> above = placement(c, child)) uncovered -= above->frame;
    }
  }
  return uncovered;
}

// Our windows out of the way of one capture: unmapped when it starts, so that what they covered
// is drawn again beneath, and mapped again where they were, without any animation, when it ends;
// the one that had the keyboard has it again.
class OutOfTheWay {
 public:
  OutOfTheWay(xcb_connection_t* c, std::span<const xcb_window_t> windows) : m_c(c) {
    const xcb_window_t root = x11::rootWindow(c);
    for (xcb_window_t window : windows) {
      // A window embedded into another program's (a tray icon) stands above nothing, and its
      // host would take an unmap for the icon going away.
      if (isMapped(c, window) && parentOf(c, window) == root) m_unmapped.push_back(window);
    }
    if (m_unmapped.empty()) return;
    const QRegion uncovered = uncoveredBy(c, root, m_unmapped);
    // Unmapping the window that has the keyboard drops the focus to the root: it is given back.
    m_focus.reset(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    RepaintWatch watch;
    for (xcb_window_t window : m_unmapped) xcb_unmap_window(c, window);
    // Answered once the server has unmapped them: it handles one client's requests in order.
    x11::Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    watch.waitUntilRedrawn(uncovered);
  }
  ~OutOfTheWay() {
    if (m_unmapped.empty()) return;
    for (xcb_window_t window : m_unmapped) xcb_map_window(m_c, window);
    if (m_focus && std::ranges::find(m_unmapped, m_focus->focus) != m_unmapped.end()) {
      // A managed window is not viewable again until its manager has mapped it, and refuses the
      // focus: that error is dropped, and the manager focuses the window it maps.
      x11::Reply<xcb_generic_error_t>(xcb_request_check(
          m_c,
          xcb_set_input_focus_checked(m_c, m_focus->revert_to, m_focus->focus, XCB_CURRENT_TIME)));
    }
    xcb_flush(m_c);
  }
  OutOfTheWay(const OutOfTheWay&) = delete;
  OutOfTheWay& operator=(const OutOfTheWay&) = delete;

 private:
  xcb_connection_t* m_c;
  std::vector<xcb_window_t> m_unmapped;
  x11::Reply<xcb_get_input_focus_reply_t> m_focus;
};

}  // namespace

std::optional<QImage> captureWindow(xcb_window_t window, std::span<const xcb_window_t> hidden) {
  xcb_connection_t* c = x11::connection();
  return c ? captureWindow(c, window, hidden) : std::nullopt;
}

std::optional<QImage> captureWindow(xcb_connection_t* c, xcb_window_t window,
                                    std::span<const xcb_window_t> hidden) {
  const std::optional<Geometry> size = geometry(c, window);
  if (!size) return std::nullopt;
  if (std::optional<QImage> own = compositePixels(c, window, *size)) return own;
  // Read from the screen, where our windows would stand in front of it.
  const OutOfTheWay away(c, hidden);
  return readImage(c, window, size->width, size->height);
}

std::optional<QImage> captureScreen(std::span<const xcb_window_t> hidden) {
  xcb_connection_t* c = x11::connection();
  return c ? captureScreen(c, hidden) : std::nullopt;
}

std::optional<QImage> captureScreen(xcb_connection_t* c, std::span<const xcb_window_t> hidden) {
  const xcb_window_t root = x11::rootWindow(c);
  const std::optional<Geometry> size = geometry(c, root);
  if (!size) return std::nullopt;
  const OutOfTheWay away(c, hidden);
  return readImage(c, root, size->width, size->height);
}

}  // namespace tessra::platform
