#include "Tessra/ui_foundation/button_styles.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

#include <functional>
#include <utility>

#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/widget_test_support.h"

namespace tessra {
namespace {

using testing::enter;
using testing::leave;
using testing::pixel;

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
         std::abs(a.blue() - b.blue()) <= 1 && std::abs(a.alpha() - b.alpha()) <= 1;
}

// Two colours match within one step per channel (rounding of the paint engine).
void expectColor(const QColor& actual, const QColor& expected) {
  EXPECT_TRUE(near(actual, expected)) << actual.name(QColor::HexArgb).toStdString() << " is not "
                                      << expected.name(QColor::HexArgb).toStdString();
}

// The colour a control paints at one point once its transition has ended.
void expectColorSoon(QWidget* widget, QPoint point, const QColor& expected) {
  if (QTest::qWaitFor([&] { return near(pixel(widget, point), expected); }, 2000)) return;
  expectColor(pixel(widget, point), expected);
}

TEST(FlatButtonStyleTest, BaseColourFromRoleAndFlags) {
  const QColor custom = palette::colorFromHex("#383a3f");
  const struct {
    const char* name;
    FlatButtonStyle style;
    bool destructive;
    QColor expected;
  } cases[] = {
      {"plain", {}, false, palette::control()},
      {"prominent", {.prominent = true}, false, palette::accent()},
      {"destructive", {}, true, palette::systemRed()},
      {"destructive and prominent", {.prominent = true}, true, palette::systemRed()},
      {"custom over destructive and prominent",
       {.prominent = true, .customBase = custom},
       true,
       custom},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(test.style.base(test.destructive), test.expected) << test.name;
  }
}

TEST(FlatButtonStyleTest, AdjustingScalesSaturationAndBrightness) {
  const QColor base = palette::colorFromHex("#df4f4a");
  EXPECT_EQ(FlatButtonStyle::adjusted(base, 1, 1, 1).rgba(), base.rgba());
  const QColor hover = FlatButtonStyle::adjusted(base, 1, 0.96, 0.76);
  EXPECT_NEAR(hover.hsvHueF(), base.hsvHueF(), 1e-3);
  EXPECT_NEAR(hover.hsvSaturationF(), base.hsvSaturationF() * 0.96, 1e-3);
  EXPECT_NEAR(hover.valueF(), base.valueF() * 0.76, 1e-3);
  QColor translucent = base;
  translucent.setAlphaF(0.4f);
  EXPECT_NEAR(FlatButtonStyle::adjusted(translucent, 1, 0.98, 0.67).alphaF(), 0.4, 1e-3);
}

TEST(FlatButtonStyleTest, TextColourFollowsFill) {
  EXPECT_EQ(FlatButtonStyle::foreground(palette::colorFromHex("#313338")), QColor(Qt::white));
  EXPECT_EQ(FlatButtonStyle::foreground(QColor(Qt::white)), QColor(Qt::black));
  EXPECT_EQ(FlatButtonStyle::foreground(QColor(Qt::transparent)), palette::primary());
}

TEST(FlatButtonStyleTest, FillAndBorderByState) {
  const QColor b = palette::colorFromHex("#313338");
  const QColor hover = FlatButtonStyle::adjusted(b, 1, 0.96, 0.76);
  const QColor press = FlatButtonStyle::adjusted(b, 1, 0.98, 0.67);
  const QColor clear(Qt::transparent);
  const FlatButtonStyle solid{.customBase = b};
  const FlatButtonStyle outlined{.outlined = true, .customBase = b};
  const FlatButtonStyle link{.outlined = true, .text = true, .customBase = b};
  const struct {
    const char* name;
    FlatButtonStyle style;
    bool hovered;
    bool pressed;
    QColor fill;
    QColor border;
  } cases[] = {
      {"solid idle", solid, false, false, b, clear},
      {"solid hovered", solid, true, false, hover, clear},
      {"solid pressed", solid, false, true, press, clear},
      {"solid pressed and hovered", solid, true, true, press, clear},
      {"outlined idle", outlined, false, false, clear, b},
      {"outlined hovered", outlined, true, false, b, b},
      {"outlined pressed", outlined, false, true, clear, hover},
      {"outlined pressed and hovered", outlined, true, true, hover, hover},
      {"link idle", link, false, false, clear, clear},
      {"link hovered", link, true, false, b, clear},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const auto look = test.style.look(false, test.hovered, test.pressed);
    EXPECT_EQ(look.fill, test.fill);
    EXPECT_EQ(look.border.alpha() == 0 ? clear : look.border, test.border);
  }
}

TEST(FlatButtonTest, StatesDrawTheirFill) {
  const QColor base = palette::colorFromHex("#313338");
  FlatButton button("Cancel", {.prominent = true, .customBase = base});
  button.resize(button.sizeHint());
  button.show();
  const QPoint inside(4, button.height() / 2);
  expectColor(pixel(&button, inside), base);
  EXPECT_EQ(button.currentLook().foreground, QColor(Qt::white));

  enter(&button);
  EXPECT_TRUE(button.isHovered());
  expectColorSoon(&button, inside, FlatButtonStyle::adjusted(base, 1, 0.96, 0.76));

  QTest::mousePress(&button, Qt::LeftButton, {}, inside);
  expectColorSoon(&button, inside, FlatButtonStyle::adjusted(base, 1, 0.98, 0.67));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, inside);
  leave(&button);
  EXPECT_FALSE(button.isHovered());
  expectColorSoon(&button, inside, base);
}

TEST(FlatButtonTest, EveryChangeOfStateEasesToTheNewLookIn170Milliseconds) {
  const QColor base = palette::colorFromHex("#313338");
  const QColor hover = FlatButtonStyle::adjusted(base, 1, 0.96, 0.76);
  const QColor press = FlatButtonStyle::adjusted(base, 1, 0.98, 0.67);
  FlatButton button("Cancel", {.customBase = base});
  button.resize(button.sizeHint());
  button.show();
  button.repaint();
  EXPECT_EQ(FlatButton::kTransitionMilliseconds, 170);

  const std::pair<std::function<void()>, QColor> changes[] = {
      {[&] { enter(&button); }, hover},
      {[&] { button.setDown(true); }, press},
      {[&] { button.setDown(false); }, hover},
      {[&] { leave(&button); }, base}};
  for (const auto& [change, to] : changes) {
    QElapsedTimer clock;
    clock.start();
    change();
    button.repaint();
    // The look starts where it was and has not reached the new one yet.
    if (clock.elapsed() < 100) {
      EXPECT_NE(button.displayedLook().fill, to);
      EXPECT_EQ(button.currentLook().fill, to);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.displayedLook().fill == to; }, 2000));
    EXPECT_GE(clock.elapsed(), 150);
  }
}

TEST(FlatButtonTest, DestructiveButtonIsRedWithWhiteText) {
  FlatButton button("Delete");
  button.setDestructive(true);
  button.resize(button.sizeHint());
  EXPECT_EQ(button.currentLook().fill, palette::systemRed());
  EXPECT_EQ(button.currentLook().foreground, QColor(Qt::white));
  expectColor(pixel(&button, QPoint(4, button.height() / 2)), palette::systemRed());
}

class CircleButtonTest : public ::testing::Test {
 protected:
  CircleButtonTest()
      : m_button("+", palette::colorFromHex("#404249"), palette::colorFromHex("#2b2d31"),
                 palette::colorFromHex("#1e1f22"), palette::white()) {
    m_button.resize(m_button.sizeHint());
    m_button.show();
  }

  // A point inside the circle, above the label.
  QPoint fillPoint() const {
    return {m_button.width() / 2, m_button.height() / 2 - m_button.height() * 3 / 10};
  }

  CircleButton m_button;
};

TEST_F(CircleButtonTest, NormalHoverPressed) {
  const struct {
    const char* name;
    std::function<void(CircleButton&)> act;
    QColor fill;
    double scale;
  } steps[] = {
      {"normal", [](CircleButton&) {}, palette::colorFromHex("#404249"), 1.0},
      {"hovered", [](CircleButton& b) { enter(&b); }, palette::colorFromHex("#2b2d31"), 1.07},
      {"pressed while hovered", [](CircleButton& b) { b.setDown(true); },
       palette::colorFromHex("#1e1f22"), 1.02},
      {"released", [](CircleButton& b) { b.setDown(false); }, palette::colorFromHex("#2b2d31"),
       1.07},
      {"left", [](CircleButton& b) { leave(&b); }, palette::colorFromHex("#404249"), 1.0},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    step.act(m_button);
    EXPECT_EQ(m_button.currentFill(), step.fill);
    EXPECT_DOUBLE_EQ(m_button.currentScale(), step.scale);
    EXPECT_DOUBLE_EQ(m_button.currentContrast(), 1.0);
    expectColorSoon(&m_button, fillPoint(), step.fill);
  }
}

TEST_F(CircleButtonTest, HoverEasesInTwoTenthsOfASecondAndAPressShowsAtOnce) {
  const QColor idle = palette::colorFromHex("#404249");
  const QColor hovered = palette::colorFromHex("#2b2d31");
  const QColor pressed = palette::colorFromHex("#1e1f22");
  EXPECT_EQ(CircleButton::kHoverTransitionMilliseconds, 200);
  m_button.repaint();

  QElapsedTimer clock;
  clock.start();
  enter(&m_button);
  m_button.repaint();
  if (clock.elapsed() < 100) {
    EXPECT_NE(m_button.displayedFill(), hovered);
    EXPECT_LT(m_button.displayedScale(), 1.07);
  }
  // Fill and scale ease together; the fill may round to its end a frame before the scale.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return m_button.displayedFill() == hovered && m_button.displayedScale() == 1.07; },
      2000));
  EXPECT_GE(clock.elapsed(), 180);

  m_button.setDown(true);
  m_button.repaint();
  const QColor shown = m_button.displayedFill();
  EXPECT_LE(std::abs(shown.red() - pressed.red()) + std::abs(shown.green() - pressed.green()) +
                std::abs(shown.blue() - pressed.blue()),
            1)
      << shown.name().toStdString();
  EXPECT_DOUBLE_EQ(m_button.displayedScale(), 1.02);
  m_button.setDown(false);
  leave(&m_button);
  m_button.repaint();
  // As on the way in, the fill may reach its end a frame before the scale.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return m_button.displayedFill() == idle && m_button.displayedScale() == 1.0; }, 2000));
}

TEST_F(CircleButtonTest, DisabledKeepsIdleLookAndHoverState) {
  enter(&m_button);
  m_button.setEnabled(false);
  EXPECT_TRUE(m_button.isHovering());
  EXPECT_EQ(m_button.currentFill(), palette::colorFromHex("#404249"));
  EXPECT_DOUBLE_EQ(m_button.currentScale(), 1.0);
  EXPECT_DOUBLE_EQ(m_button.currentContrast(), 0.3);
  leave(&m_button);
  EXPECT_TRUE(m_button.isHovering());
  // Low contrast: the idle colour pulled towards the middle grey.
  const QColor idle = palette::colorFromHex("#404249");
  auto low = [](int channel) {
    return int(std::lround(((channel / 255.0 - 0.5) * 0.3 + 0.5) * 255));
  };
  expectColor(pixel(&m_button, fillPoint()),
              QColor(low(idle.red()), low(idle.green()), low(idle.blue())));
  m_button.setEnabled(true);
  leave(&m_button);
  EXPECT_FALSE(m_button.isHovering());
}

TEST(DiscordChannelButtonTest, ColoursBySelectionHighlightAndHover) {
  QColor selectedBackground = palette::colorFromHex("#404249");
  selectedBackground.setAlphaF(0.25f);
  QColor hoveredBackground = palette::colorFromHex("#2b2d31");
  hoveredBackground.setAlphaF(0.5f);
  const struct {
    const char* name;
    bool selected;
    bool highlighted;
    bool hovered;
    QColor foreground;
    QColor accent;
    QColor background;
  } cases[] = {
      {"idle", false, false, false, palette::gray(), palette::gray(),
       palette::colorFromHex("#1e1f22")},
      {"hovered", false, false, true, palette::gray(), palette::gray(), hoveredBackground},
      {"selected", true, false, false, palette::label(), palette::label(), selectedBackground},
      {"selected and hovered", true, false, true, palette::label(), palette::label(),
       selectedBackground},
      {"selected and highlighted", true, true, false, palette::colorFromHex("#1ABC9C"),
       palette::label(), selectedBackground},
      {"highlighted", false, true, false, palette::colorFromHex("#1ABC9C"), palette::gray(),
       palette::colorFromHex("#1e1f22")},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    DiscordChannelButton button("💬 Welcome", test.selected, test.highlighted);
    button.resize(button.sizeHint());
    if (test.hovered) enter(&button);
    EXPECT_EQ(button.height(), 36);
    EXPECT_EQ(button.isHovered(), test.hovered);
    EXPECT_EQ(button.currentForeground(), test.foreground);
    EXPECT_EQ(button.currentAccent(), test.accent);
    EXPECT_EQ(button.currentBackground(), test.background);
  }
  DiscordChannelButton idle("row", false, false);
  idle.resize(idle.sizeHint());
  expectColor(pixel(&idle, QPoint(3, 18)), palette::colorFromHex("#1e1f22"));
}

TEST(DiscordChannelButtonTest, TheEmojiOfARowIsInColour) {
  // A smiley the desktop's sans-serif font has only as a monochrome outline.
  DiscordChannelButton row(QStringLiteral("😀 Groceries"), false, false);
  row.resize(200, 36);
  EXPECT_GT(testing::colorfulPixels(row.grab().toImage()), 20);
}

}  // namespace
}  // namespace tessra
