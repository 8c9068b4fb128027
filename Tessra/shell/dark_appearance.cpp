#include "Tessra/shell/dark_appearance.h"

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>

#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

// Fusion, whose standard icons the program draws itself: Qt takes them from the desktop's icon
// theme, whose icons may be as dark as the program's surfaces (the file picker's toolbar, the
// clear button of a text field).
class ProgramStyle final : public QProxyStyle {
 public:
  ProgramStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                     const QWidget* widget) const override {
    const QColor color = palette::secondaryText();
    switch (icon) {
      case SP_LineEditClearButton:
        return lineSymbol(u"xmark", palette::mutedText());
      case SP_ArrowBack:
        return lineSymbol(u"arrow.up", color, -90);
      case SP_ArrowForward:
        return lineSymbol(u"arrow.up", color, 90);
      case SP_FileDialogToParent:
        return lineSymbol(u"arrow.up", color);
      case SP_FileDialogNewFolder:
        return lineSymbol(u"folder.badge.plus", color);
      case SP_FileDialogListView:
        return lineSymbol(u"list.bullet", color);
      case SP_FileDialogDetailedView:
        return lineSymbol(u"tablecells", color);
      default:
        return QProxyStyle::standardIcon(icon, option, widget);
    }
  }

  // The buttons of a dialog (the file picker's Open and Cancel) show their texts only, without
  // the theme's icons.
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

}  // namespace

void applyDarkAppearance(QApplication& application) {
  application.setStyle(new ProgramStyle);
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
