// Pixels of one window or of the whole screen, read from the X server.
//
//   std::optional<QImage> shot = platform::captureWindow(window);
//   std::optional<QImage> screen = platform::captureScreen(ourWindows);
//
// A window that a compositor redirects gives its own pixels even where others cover it (through
// its Composite pixmap); otherwise the screen's pixels inside its area are read. The screen
// capture leaves out the windows it is given: they are unmapped for the grab and mapped again at
// once, where they were, without any animation, and the one that had the keyboard has it again.
// Images are opaque RGB32. GUI thread only.
#pragma once

#include <xcb/xcb.h>

#include <QImage>

#include <optional>
#include <span>

namespace tessra::platform {

// On Qt's connection; absent when the program is not on X11 or the window is gone.
std::optional<QImage> captureWindow(xcb_window_t window);
std::optional<QImage> captureWindow(xcb_connection_t* connection, xcb_window_t window);

// The root window's pixels with `hidden` (mapped top-level windows of ours) left out.
std::optional<QImage> captureScreen(std::span<const xcb_window_t> hidden = {});
std::optional<QImage> captureScreen(xcb_connection_t* connection,
                                    std::span<const xcb_window_t> hidden = {});

}  // namespace tessra::platform
