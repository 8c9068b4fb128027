// Pixels of one window or of the whole screen, read from the X server.
//
//   std::optional<QImage> shot = platform::captureWindow(window, ourWindows);
//   std::optional<QImage> screen = platform::captureScreen(ourWindows);
//
// A window that a compositor redirects gives its own pixels even where others cover it (through
// its Composite pixmap); otherwise the screen's pixels inside its area are read. Those reads leave
// out the windows they are given (our override-redirect windows, which stand above all others):
// they are unmapped, the read waits until the programs beneath have drawn again what they covered
// (`RepaintWatch`, so no stale pixels of ours and no blank background are taken), and they are
// mapped again where they were, without any animation; the one that had the keyboard has it
// again. The call blocks for that repaint, at most about a second. Images are opaque RGB32. GUI
// thread only.
#pragma once

#include <xcb/xcb.h>

#include <QImage>

#include <optional>
#include <span>

namespace tessra::platform {

// On Qt's connection; absent when the program is not on X11 or the window is gone.
std::optional<QImage> captureWindow(xcb_window_t window, std::span<const xcb_window_t> hidden = {});
std::optional<QImage> captureWindow(xcb_connection_t* connection, xcb_window_t window,
                                    std::span<const xcb_window_t> hidden = {});

// The root window's pixels with `hidden` (mapped top-level windows) left out.
std::optional<QImage> captureScreen(std::span<const xcb_window_t> hidden = {});
std::optional<QImage> captureScreen(xcb_connection_t* connection,
                                    std::span<const xcb_window_t> hidden = {});

}  // namespace tessra::platform
