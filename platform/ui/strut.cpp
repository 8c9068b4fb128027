#include "platform/ui/strut.h"

#include <algorithm>
#include <limits>

namespace tessra::platform {
namespace {

int clampedInt(std::uint32_t value) {
  return static_cast<int>(std::min<std::uint32_t>(value, std::numeric_limits<int>::max()));
}

// The band of `depth` pixels along one edge, from `start` to `end` along it, inside `root`.
std::optional<StrutBand> band(Qt::Edge edge, int depth, int start, int end, QSize root) {
  if (depth <= 0 || end < start) return std::nullopt;
  QRect rect;
  switch (edge) {
    case Qt::LeftEdge:
      rect = QRect(QPoint(0, start), QPoint(depth - 1, end));
      break;
    case Qt::RightEdge:
      rect = QRect(QPoint(root.width() - depth, start), QPoint(root.width() - 1, end));
      break;
    case Qt::TopEdge:
      rect = QRect(QPoint(start, 0), QPoint(end, depth - 1));
      break;
    case Qt::BottomEdge:
      rect = QRect(QPoint(start, root.height() - depth), QPoint(end, root.height() - 1));
      break;
  }
  rect = rect.intersected(QRect(QPoint(0, 0), root));
  if (rect.isEmpty()) return std::nullopt;
  return StrutBand{edge, rect};
}

}  // namespace

std::optional<Strut> Strut::fromCardinals(std::span<const std::uint32_t> values, QSize root) {
  if (values.size() != 4 && values.size() < 12) return std::nullopt;
  Strut strut;
  strut.left = clampedInt(values[0]);
  strut.right = clampedInt(values[1]);
  strut.top = clampedInt(values[2]);
  strut.bottom = clampedInt(values[3]);
  if (values.size() == 4) {
    strut.leftEndY = strut.rightEndY = root.height() - 1;
    strut.topEndX = strut.bottomEndX = root.width() - 1;
    return strut;
  }
  strut.leftStartY = clampedInt(values[4]);
  strut.leftEndY = clampedInt(values[5]);
  strut.rightStartY = clampedInt(values[6]);
  strut.rightEndY = clampedInt(values[7]);
  strut.topStartX = clampedInt(values[8]);
  strut.topEndX = clampedInt(values[9]);
  strut.bottomStartX = clampedInt(values[10]);
  strut.bottomEndX = clampedInt(values[11]);
  return strut;
}

std::vector<StrutBand> Strut::bands(QSize root) const {
  std::vector<StrutBand> bands;
  for (const auto& found : {band(Qt::LeftEdge, left, leftStartY, leftEndY, root),
                            band(Qt::RightEdge, right, rightStartY, rightEndY, root),
                            band(Qt::TopEdge, top, topStartX, topEndX, root),
                            band(Qt::BottomEdge, bottom, bottomStartX, bottomEndX, root)}) {
    if (found) bands.push_back(*found);
  }
  return bands;
}

QRect workAreaWithin(const QRect& monitor, std::span<const StrutBand> bands) {
  QRect area = monitor;
  for (const StrutBand& band : bands) {
    const QRect overlap = band.rect.intersected(monitor);
    if (overlap.isEmpty()) continue;
    QRect cut = area;
    switch (band.edge) {
      case Qt::LeftEdge:
        cut.setLeft(std::max(cut.left(), overlap.right() + 1));
        break;
      case Qt::RightEdge:
        cut.setRight(std::min(cut.right(), overlap.left() - 1));
        break;
      case Qt::TopEdge:
        cut.setTop(std::max(cut.top(), overlap.bottom() + 1));
        break;
      case Qt::BottomEdge:
        cut.setBottom(std::min(cut.bottom(), overlap.top() - 1));
        break;
    }
    if (!cut.isEmpty()) area = cut;
  }
  return area;
}

}  // namespace tessra::platform
