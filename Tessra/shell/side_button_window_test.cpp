#include "Tessra/shell/side_button_window.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <gtest/gtest.h>

#include "Tessra/storage/user_settings.h"
#include "platform/foundation/notification_center.h"

namespace tessra {
namespace {

// The mean x of the light pixels (the icon) of the view, or -1 when there are none.
double iconCentre(CallToActionView* view) {
  const QImage image = view->grab().toImage();
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) > 200) {
        sum += x;
        ++count;
      }
  return count == 0 ? -1 : sum / count;
}

TEST(SideButtonTest, TheIconKeepsAwayFromThePartBeyondTheEdge) {
  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::right);
  bool clicked = false;
  SideButtonWindow window;
  QObject::connect(&window, &SideButtonWindow::clicked, [&] { clicked = true; });
  window.resize(SideButtonWindow::kWidth, SideButtonWindow::kHeight);
  const double right = iconCentre(window.view());
  ASSERT_GT(right, 0) << "the icon is drawn";
  EXPECT_LT(right, SideButtonWindow::kWidth - SideButtonWindow::kBeyondEdge)
      << "on the visible part at the right edge";

  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::left);
  const double left = iconCentre(window.view());
  EXPECT_GT(left, SideButtonWindow::kBeyondEdge) << "on the visible part at the left edge";

  window.view()->click();
  EXPECT_TRUE(clicked);
}

TEST(SideButtonTest, StandsHalfBeyondTheEdgeOfTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int middle = screen.y() + (screen.height() - SideButtonWindow::kHeight) / 2;
  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::right);
  EXPECT_EQ(SideButtonWindow::overlayButtonFrame(),
            QRect(screen.x() + screen.width() - 36, middle, 64, 36));
  for (PopupPosition position : {PopupPosition::top, PopupPosition::bottom}) {
    UserSettings::shared().setValue(setting::popupPosition, position);
    EXPECT_EQ(SideButtonWindow::overlayButtonFrame().x(), screen.x() + screen.width() - 36);
  }
  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::left);
  EXPECT_EQ(SideButtonWindow::overlayButtonFrame(), QRect(screen.x() - 28, middle, 64, 36));
}

}  // namespace
}  // namespace tessra
