#include "Tessra/chat_window/floating_panel_expandable_layout.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/ui_foundation/visual_effect_view.h"
#include "testing/animations_on.h"

namespace tessra {
namespace {

FloatingPanelExpandableLayout* makeLayout() {
  return new FloatingPanelExpandableLayout(
      new QLabel(QStringLiteral("toolbar")), new QLabel(QStringLiteral("sidebar")),
      new QLabel(QStringLiteral("content")), 240, 640, 300, 900);
}

TEST(FloatingPanelExpandableLayoutTest, TheButtonNarrowsAndWidensItsPanelAroundItsCentre) {
  const testing::AnimationsOn animations;  // the frame is watched while it moves
  FloatingPanelView panel(QRect(400, 100, 1000, 500), false, true);
  FloatingPanelExpandableLayout* layout = makeLayout();
  panel.setContent(layout);
  panel.show();
  EXPECT_EQ(layout->background()->material(), VisualEffectView::Material::sidebar);
  EXPECT_EQ(layout->background()->blendingMode(), VisualEffectView::BlendingMode::withinWindow);

  const struct {
    const char* name;
    int width;       // before the press
    int widthAfter;  // the panel after the press
    bool expandedAfter;
  } steps[] = {
      {"collapses to the sidebar", 1000, 240, false},
      {"expands back to the width it had", 240, 1000, true},
      {"a panel narrower than expanded collapses, then returns to at least the total", 700, 240,
       false},
      {"", 240, 700, true},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    panel.setGeometry(900 - step.width / 2, 100, step.width, 500);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return layout->width() == step.width && !layout->isAnimating(); }, 3000));
    const int centre = panel.geometry().center().x();
    layout->toggleButton()->click();
    EXPECT_EQ(panel.width(), step.width) << "the frame moves, it does not jump";
    // Sampled while it moves: the frame passes between its two widths, and the content slides
    // between its place beside the sidebar and the trailing edge.
    bool frameBetween = false;
    bool contentBetween = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const int low = std::min(step.width, step.widthAfter);
          const int high = std::max(step.width, step.widthAfter);
          frameBetween = frameBetween || (panel.width() > low && panel.width() < high);
          const int contentLeft = layout->content()->x();
          contentBetween = contentBetween || (layout->content()->isVisible() && contentLeft > 241 &&
                                              contentLeft < layout->width());
          return panel.width() == step.widthAfter && !layout->isAnimating();
        },
        5000));
    EXPECT_TRUE(frameBetween);
    EXPECT_TRUE(contentBetween);
    EXPECT_NEAR(panel.geometry().center().x(), centre, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layout->width() == step.widthAfter; }, 2000));
    EXPECT_EQ(layout->isExpanded(), step.expandedAfter);
    EXPECT_EQ(layout->content()->isVisible(), step.expandedAfter);
    EXPECT_EQ(layout->sidebar()->width(), 240);
    if (step.expandedAfter) {
      EXPECT_EQ(layout->content()->x(), 241);
    }
  }

  // Outside a floating panel the button does nothing.
  QWidget plain;
  FloatingPanelExpandableLayout* loose = makeLayout();
  loose->setParent(&plain);
  plain.resize(800, 400);
  plain.show();
  loose->toggleButton()->click();
  EXPECT_EQ(plain.width(), 800);
  EXPECT_FALSE(loose->isAnimating());
}

}  // namespace
}  // namespace tessra
