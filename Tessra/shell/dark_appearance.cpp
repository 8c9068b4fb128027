#include "Tessra/shell/dark_appearance.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

void applyDarkAppearance(QApplication& application) {
  application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette colors;
  colors.setColor(QPalette::Window, palette::background());
  colors.setColor(QPalette::WindowText, palette::label());
  colors.setColor(QPalette::Base, palette::tertiaryBackground());
  colors.setColor(QPalette::AlternateBase, palette::secondaryBackground());
  colors.setColor(QPalette::ToolTipBase, palette::background());
  colors.setColor(QPalette::ToolTipText, palette::label());
  colors.setColor(QPalette::PlaceholderText, palette::gray());
  colors.setColor(QPalette::Text, palette::label());
  colors.setColor(QPalette::Button, palette::secondaryBackground());
  colors.setColor(QPalette::ButtonText, palette::label());
  colors.setColor(QPalette::BrightText, palette::white());
  colors.setColor(QPalette::Highlight, palette::accent());
  colors.setColor(QPalette::HighlightedText, palette::white());
  colors.setColor(QPalette::Link, palette::systemBlue());
  colors.setColor(QPalette::Disabled, QPalette::Text, palette::gray());
  colors.setColor(QPalette::Disabled, QPalette::WindowText, palette::gray());
  colors.setColor(QPalette::Disabled, QPalette::ButtonText, palette::gray());
  // Fusion draws disabled text a second time one pixel down and right in the light role, an
  // etched look meant for light themes; over the dark palette it is a blurred white emboss.
  colors.setColor(QPalette::Disabled, QPalette::Light, Qt::transparent);
  application.setPalette(colors);
}

}  // namespace tessra
