// Per-edge distances for the edge and origin operations: top, left, bottom, right in points.
//
// The conveniences live in `insets::` because a field and a factory cannot share a name:
// `insets::top(8)` is (8, 0, 0, 0). `EdgeInsets::zero` is a constant.
#pragma once

namespace tessra::constraints {

struct EdgeInsets {
  double top = 0;
  double left = 0;
  double bottom = 0;
  double right = 0;

  static const EdgeInsets zero;

  constexpr bool operator==(const EdgeInsets&) const = default;
  constexpr EdgeInsets operator+(const EdgeInsets& other) const {
    return {top + other.top, left + other.left, bottom + other.bottom, right + other.right};
  }
};

inline constexpr EdgeInsets EdgeInsets::zero{};

namespace insets {
constexpr EdgeInsets uniform(double v) { return {v, v, v, v}; }
constexpr EdgeInsets top(double v) { return {v, 0, 0, 0}; }
constexpr EdgeInsets left(double v) { return {0, v, 0, 0}; }
constexpr EdgeInsets bottom(double v) { return {0, 0, v, 0}; }
constexpr EdgeInsets right(double v) { return {0, 0, 0, v}; }
constexpr EdgeInsets horizontal(double v) { return {0, v, 0, v}; }
constexpr EdgeInsets vertical(double v) { return {v, 0, v, 0}; }
}  // namespace insets

}  // namespace tessra::constraints
