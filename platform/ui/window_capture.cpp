#include "platform/ui/window_capture.h"

#include <xcb/composite.h>

#include <algorithm>
#include <cstring>

#include "platform/foundation/logger.h"
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

}  // namespace

std::optional<QImage> captureWindow(xcb_window_t window) {
  xcb_connection_t* c = x11::connection();
  return c ? captureWindow(c, window) : std::nullopt;
}

std::optional<QImage> captureWindow(xcb_connection_t* c, xcb_window_t window) {
  const std::optional<Geometry> size = geometry(c, window);
  if (!size) return std::nullopt;
  if (std::optional<QImage> own = compositePixels(c, window, *size)) return own;
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
  // Unmapping the window that has the keyboard drops the focus to the root: it is given back.
  const x11::Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  std::vector<xcb_window_t> unmapped;
  for (xcb_window_t window : hidden) {
    if (!isMapped(c, window)) continue;
    xcb_unmap_window(c, window);
    unmapped.push_back(window);
  }
  // The image request is answered after the unmaps are done: the server handles one client's
  // requests in order.
  std::optional<QImage> image = readImage(c, root, size->width, size->height);
  for (xcb_window_t window : unmapped) xcb_map_window(c, window);
  if (focus && std::ranges::find(unmapped, focus->focus) != unmapped.end()) {
    // A window the manager maps again is not viewable yet and refuses the focus: that error is
    // dropped here, and the manager focuses the window it maps.
    x11::Reply<xcb_generic_error_t>(xcb_request_check(
        c, xcb_set_input_focus_checked(c, focus->revert_to, focus->focus, XCB_CURRENT_TIME)));
  }
  xcb_flush(c);
  return image;
}

}  // namespace tessra::platform
