#include "Tessra/shell/dark_appearance.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

#include "Tessra/shell/status_item.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "shortcuts/recorder_cocoa.h"
#include "testing/temp_dir.h"

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

TEST(DarkAppearance, TheProgramDrawsItsOwnIconsUnderADarkIconTheme) {
  testing::TempDir folder;
  testing::useBlackIconTheme(folder.path());
  applyDarkAppearance(*qApp);

  QFileDialog picker;
  picker.setOption(QFileDialog::DontUseNativeDialog);
  picker.show();
  for (const char* button : {"backButton", "forwardButton", "toParentButton", "newFolderButton",
                             "listModeButton", "detailModeButton"}) {
    const auto* tool = picker.findChild<QToolButton*>(QLatin1String(button));
    ASSERT_NE(tool, nullptr) << button;
    EXPECT_TRUE(testing::isLight(tool->icon())) << button;
  }
  for (const QPushButton* button : picker.findChildren<QPushButton*>())
    EXPECT_TRUE(button->icon().isNull() || !button->isVisible()) << button->text().toStdString();

  shortcuts::RecorderCocoa field(shortcuts::Name("darkAppearanceTest"));
  QList<QAction*> clear = field.findChildren<QAction*>();
  ASSERT_FALSE(clear.isEmpty());
  for (const QAction* action : clear) EXPECT_TRUE(testing::isLight(action->icon()));

  std::unique_ptr<QMenu> tray(StatusItem::shared().makeMenu());
  int icons = 0;
  for (const QAction* entry : tray->actions()) {
    if (entry->icon().isNull()) continue;
    ++icons;
    EXPECT_TRUE(testing::isLight(entry->icon())) << entry->text().toStdString();
  }
  EXPECT_EQ(icons, 2) << "feedback and share";
}

}  // namespace
}  // namespace tessra
