#include "Tessra/ui_foundation/search_text_field_style.h"

#include <QPalette>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

SearchTextFieldStyle SearchTextFieldStyle::search() {
  return {palette::secondaryBackground(), palette::colorFromHex("#87898C"), 12, 8};
}

void SearchTextFieldStyle::apply(QLineEdit& field) const {
  QFont font = field.font();
  font.setPixelSize(kFontPixelSize);
  font.setWeight(QFont::Normal);
  field.setFont(font);
  field.setFrame(false);
  field.setAttribute(Qt::WA_MacShowFocusRect, false);
  // The padding and the box come from the style sheet, which also keeps the colours under a
  // desktop theme of another brightness.
  field.setStyleSheet(QStringLiteral("QLineEdit { background: %1; color: %2; border: none;"
                                     " border-radius: %3px; padding: %4px %5px; }")
                          .arg(backgroundColor.name(), foregroundColor.name())
                          .arg(kCornerRadius)
                          .arg(verticalPadding)
                          .arg(horizontalPadding));
  QPalette colors = field.palette();
  QColor placeholder = foregroundColor;
  placeholder.setAlphaF(0.6f);
  colors.setColor(QPalette::PlaceholderText, placeholder);
  field.setPalette(colors);
}

}  // namespace tessra
