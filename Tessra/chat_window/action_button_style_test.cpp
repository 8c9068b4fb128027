#include "Tessra/chat_window/action_button_style.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "Tessra/chat_window/chat_empty_state_view.h"
#include "Tessra/chat_window/first_appear_modifier.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/widget_test_support.h"

namespace tessra {
namespace {

using palette::colorFromHex;

const ActionButtonStyle kStyle{24, colorFromHex("#313338"), colorFromHex("#383a3f"),
                               colorFromHex("#ff0000")};

TEST(ActionButtonStyleTest, PressedBeatsHoverBeatsNormal) {
  const struct {
    bool hovered;
    bool pressed;
    QColor expected;
  } cases[] = {
      {false, false, kStyle.normalBgColor},
      {true, false, kStyle.hoverBgColor},
      {false, true, kStyle.pressedBgColor},
      {true, true, kStyle.pressedBgColor},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(kStyle.background(test.hovered, test.pressed), test.expected)
        << test.hovered << test.pressed;
  }
}

TEST(ActionButtonStyleTest, ButtonPaintsItsStateAndTakesClicksOnTheWholeSquare) {
  ActionButton button(QStringLiteral("+"), kStyle);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  EXPECT_EQ(button.size(), QSize(24, 24));

  testing::enter(&button);
  EXPECT_TRUE(button.isHovered());
  EXPECT_EQ(button.currentBackground(), kStyle.hoverBgColor);
  // The hover colour fades in, then stays.
  QTRY_COMPARE_WITH_TIMEOUT(button.paintedBackground(), kStyle.hoverBgColor, 2000);

  button.setDown(true);
  EXPECT_EQ(button.currentBackground(), kStyle.pressedBgColor);
  EXPECT_EQ(testing::pixel(&button, QPoint(12, 4)), kStyle.pressedBgColor);
  button.setDown(false);

  testing::leave(&button);
  QTRY_COMPARE_WITH_TIMEOUT(button.paintedBackground(), kStyle.normalBgColor, 2000);

  int clicks = 0;
  QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 12));  // beside the label
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));    // the cut-off corner
  EXPECT_EQ(clicks, 1);
}

TEST(FirstAppearTest, ActionRunsOnceAcrossHideAndShowAndAfreshForANewWidget) {
  int runs = 0;
  {
    QWidget view;
    onFirstAppear(&view, [&] { ++runs; });
    EXPECT_EQ(runs, 0);
    view.show();
    EXPECT_EQ(runs, 1);
    view.hide();
    view.show();
    EXPECT_EQ(runs, 1);
  }
  QWidget another;
  onFirstAppear(&another, [&] { ++runs; });
  another.show();
  EXPECT_EQ(runs, 2);
}

TEST(ChatEmptyStateViewTest, CentresTheIconOnTheChatBackground) {
  ChatEmptyStateView view;
  view.resize(400, 400);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  EXPECT_EQ(view.iconLabel()->size(), QSize(128, 128));
  const QPoint centre = view.iconLabel()->geometry().center();
  EXPECT_NEAR(centre.x(), 200, 1);
  EXPECT_NEAR(centre.y(), 200 - ChatEmptyStateView::kIconBottomPadding / 2, 2);
  EXPECT_EQ(testing::pixel(&view, QPoint(5, 5)), colorFromHex("#313338"));
}

}  // namespace
}  // namespace tessra
