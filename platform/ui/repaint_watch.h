// Waits until other programs have drawn again what our windows uncovered, before a capture reads
// the screen.
//
//   RepaintWatch watch;                          // before anything is uncovered
//   ... unmap windows ...
//   watch.waitUntilRedrawn(uncoveredRegion);      // then read the screen
//
// When a window goes, the X server only sends the windows beneath an Expose event: each program
// draws its part again in its own time, and until it has, the screen still holds the pixels of
// the window that went (windows without a background) or a blank background. X11 has no way for a
// program to say that it has finished such a repaint, but the Damage extension reports every
// change to the screen's pixels as it is made. So the watch, made before the windows go, collects
// the changes inside the uncovered region and waits until each of its pixels has been drawn at
// least once and the region has then been still for `kQuiet` (programs that paint in passes, a
// background and then the content a frame later, are then done too). A program that never draws
// (hung or stopped) or never stops drawing (a video) is waited for at most `kPatience`: that bound
// is the one guess, and it only limits how long a capture can take.
//
// On a connection of its own, so its events never mix with Qt's. GUI thread only.
#pragma once

#include <QRegion>

#include <chrono>

#include "platform/ui/x11_connection.h"

namespace tessra::platform {

class RepaintWatch {
 public:
  // Longer than one frame at 60 Hz, so a program's second pass counts as part of its repaint.
  static constexpr std::chrono::milliseconds kQuiet{50};
  static constexpr std::chrono::milliseconds kPatience{1000};

  // Starts collecting the screen's changes; without the Damage extension it waits for nothing.
  RepaintWatch();
  ~RepaintWatch();
  RepaintWatch(const RepaintWatch&) = delete;
  RepaintWatch& operator=(const RepaintWatch&) = delete;

  // Blocks until `region` (root coordinates) has been drawn again since the watch began and then
  // stayed still, or `kPatience` has passed; true when the first happened.
  bool waitUntilRedrawn(const QRegion& region);

 private:
  // Reads the damage events that arrived; the changes inside `region` join `m_drawn`. True when
  // one of them touched `region`.
  bool collect(const QRegion& region);

  X11Connection m_x;
  std::uint32_t m_damage = 0;
  std::uint8_t m_damageEvent = 0;
  QRegion m_drawn;
};

}  // namespace tessra::platform
