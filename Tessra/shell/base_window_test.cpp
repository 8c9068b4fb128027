#include "Tessra/shell/base_window.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/shell/shell_test_support.h"
#include "platform/foundation/json.h"
#include "testing/animations_on.h"

namespace tessra {
namespace {

TEST(BaseWindowTest, NinePlacesOverTheWorkArea) {
  const QRect area(100, 50, 1000, 800);
  const QSize size(200, 100);
  using C = ScreenCorner;
  const struct {
    std::optional<ScreenCorner> corner;
    QPoint origin;
  } cases[] = {
      {C::bottomLeft, {100 + 10, 50 + 700 - 20}},
      {C::bottomRight, {100 + 800 - 10, 730}},
      {C::topLeft, {110, 70}},
      {C::topRight, {890, 70}},
      {C::top, {500, 70}},
      {C::bottom, {500, 730}},
      {C::left, {110, 400}},
      {C::right, {890, 400}},
      {C::center, {500, 400}},
      {std::nullopt, {100, 750}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BaseWindow::origin(area, size, c.corner, 20, 10), c.origin)
        << (c.corner ? static_cast<int>(*c.corner) : -1);
  EXPECT_EQ(screenCornerFromRawValue(8), ScreenCorner::center);
  EXPECT_EQ(screenCornerFromRawValue(9), std::nullopt);
  EXPECT_EQ(screenCornerFromRawValue(-1), std::nullopt);
}

TEST(BaseWindowTest, ACornerIsCodedAsItsRawValueAndNothingElseReadsAsOne) {
  EXPECT_EQ(platform::encodeJson(nlohmann::json{{"corner", ScreenCorner::topRight}}),
            R"({"corner":3})");
  EXPECT_EQ(platform::decodeJson<ScreenCorner>("8"), ScreenCorner::center);
  using Kind = platform::JsonDecodingError::Kind;
  const struct {
    const char* text;
    Kind kind;
  } refused[] = {
      {"9", Kind::dataCorrupted},    {"-1", Kind::dataCorrupted},   {"3.5", Kind::typeMismatch},
      {"\"3\"", Kind::typeMismatch}, {"null", Kind::valueNotFound},
  };
  for (const auto& c : refused) {
    try {
      (void)platform::decodeJson<ScreenCorner>(c.text);
      ADD_FAILURE() << c.text << " read as a corner";
    } catch (const platform::JsonDecodingError& error) {
      EXPECT_EQ(error.kind(), c.kind) << c.text;
    }
  }
}

TEST(BaseWindowTest, MovesThereAtOnceOrAnimated) {
  const testing::AnimationsOn animations;
  OSDWindow window;
  window.resize(200, 100);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen->availableGeometry();
  window.moveToScreen(screen, ScreenCorner::topRight, 20);
  EXPECT_EQ(window.pos(), QPoint(area.right() + 1 - 200 - 20, area.y() + 20));
  EXPECT_EQ(window.marginHorizontal(), std::nullopt) << "the vertical margin serves both";
  EXPECT_EQ(window.screenPlacement(), screen);
  EXPECT_FALSE(window.allowToBecomeKey());

  window.show();
  EXPECT_FALSE(window.isClosed());
  // The corner and margin stay; a new horizontal margin is taken.
  window.moveToScreen(screen, std::nullopt, std::nullopt, 0, true);
  EXPECT_TRUE(window.inAnimation());
  ASSERT_TRUE(testing::waitUntil([&] { return !window.inAnimation(); }));
  EXPECT_EQ(window.pos(), QPoint(area.right() + 1 - 200, area.y() + 20));
  EXPECT_EQ(window.positionArguments()->animate, true);
  window.close();
  EXPECT_TRUE(window.isClosed());
}

}  // namespace
}  // namespace tessra
