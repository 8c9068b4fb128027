#include "Tessra/shell/dark_appearance.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {
namespace {

TEST(DarkAppearance, ADisabledMenuEntryIsFlatGreyText) {
  const QPalette palette = QApplication::palette();
  const QString style = QApplication::style()->name();
  applyDarkAppearance(*qApp);
  QMenu menu;
  menu.addAction(QStringLiteral("Settings"));
  QAction* disabled = menu.addAction(QStringLiteral("Check for Updates…"));
  disabled->setEnabled(false);
  menu.adjustSize();
  const QImage shot = menu.grab(menu.actionGeometry(disabled)).toImage();
  // Nothing lighter than the grey of its text: no embossed light copy of it under the text.
  int lightest = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) lightest = std::max(lightest, qGray(shot.pixel(x, y)));
  EXPECT_GT(lightest, qGray(palette::colorFromHex("#404249").rgb())) << "the text is drawn";
  EXPECT_LE(lightest, qGray(palette::gray().rgb()) + 8);
  QApplication::setStyle(QStyleFactory::create(style));
  QApplication::setPalette(palette);
}

}  // namespace
}  // namespace tessra
