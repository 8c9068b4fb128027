// The space a dock window (a bar, a panel, a tray) keeps for itself at an edge of the X screen,
// as it declares it in _NET_WM_STRUT_PARTIAL or the older _NET_WM_STRUT, and what it leaves of a
// monitor: the work area where the window manager publishes none.
//
//   const auto strut = Strut::fromCardinals(values, rootSize);   // the property's values
//   const QRect area = workAreaWithin(monitor, strut->bands(rootSize));
//
// A strut is measured from the edges of the root window, not of a monitor: a bar along the top of
// the lower of two stacked monitors reserves the whole upper one and its own height. All in
// device pixels of the root window.
#pragma once

#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessra::platform {

// One edge's reserved band: the rectangle of the root window a dock keeps from other windows.
struct StrutBand {
  Qt::Edge edge = Qt::TopEdge;
  QRect rect;

  bool operator==(const StrutBand&) const = default;
};

struct Strut {
  // How far each band reaches in from the root window's edge.
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
  // Where each band runs along its edge, first and last pixel.
  int leftStartY = 0;
  int leftEndY = 0;
  int rightStartY = 0;
  int rightEndY = 0;
  int topStartX = 0;
  int topEndX = 0;
  int bottomStartX = 0;
  int bottomEndX = 0;

  // The 12 values of _NET_WM_STRUT_PARTIAL, or the 4 of _NET_WM_STRUT (whose bands run along
  // their whole edge); nothing for another count.
  static std::optional<Strut> fromCardinals(std::span<const std::uint32_t> values, QSize root);

  // The bands that reserve something, clipped to the root window.
  std::vector<StrutBand> bands(QSize root) const;
};

// `monitor` less the bands that reach into it, each cut from the side of its edge. A band that
// would leave nothing of the monitor (a strut measured across another monitor) is not taken.
QRect workAreaWithin(const QRect& monitor, std::span<const StrutBand> bands);

}  // namespace tessra::platform
