// The look of the one-line search and entry fields of the floating panels: plain text on a
// rounded, filled box, without a frame.
//
//   SearchTextFieldStyle{palette::secondaryBackground(), palette::colorFromHex("#87898C"), 12, 8}
//       .apply(*field);
//
// GUI thread only.
#pragma once

#include <QColor>
#include <QLineEdit>

namespace tessra {

struct SearchTextFieldStyle {
  QColor backgroundColor;
  QColor foregroundColor;
  double verticalPadding = 0;
  double horizontalPadding = 0;

  static constexpr int kFontPixelSize = 15;
  static constexpr double kCornerRadius = 8;

  // The search fields' own values: "#2b2d31" under "#87898C", padded 12 by 8.
  static SearchTextFieldStyle search();

  void apply(QLineEdit& field) const;
};

}  // namespace tessra
