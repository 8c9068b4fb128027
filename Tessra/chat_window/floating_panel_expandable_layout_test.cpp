#include "Tessra/chat_window/floating_panel_expandable_layout.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/chat_window/floating_panel_view.h"

namespace tessra {
namespace {

FloatingPanelExpandableLayout* makeLayout() {
  return new FloatingPanelExpandableLayout(
      new QLabel(QStringLiteral("toolbar")), new QLabel(QStringLiteral("sidebar")),
      new QLabel(QStringLiteral("content")), 240, 640, 300, 900);
}

TEST(FloatingPanelExpandableLayoutTest, TheButtonNarrowsAndWidensItsPanelAroundItsCentre) {
  FloatingPanelView panel(QRect(400, 100, 1000, 500), false, true);
  FloatingPanelExpandableLayout* layout = makeLayout();
  panel.setContent(layout);
  panel.show();

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
    ASSERT_TRUE(QTest::qWaitFor([&] { return layout->width() == step.width; }, 2000));
    const int centre = panel.geometry().center().x();
    layout->toggleButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel.width() == step.widthAfter; }, 2000));
    EXPECT_NEAR(panel.geometry().center().x(), centre, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return layout->width() == step.widthAfter; }, 2000));
    EXPECT_EQ(layout->isExpanded(), step.expandedAfter);
    EXPECT_EQ(layout->content()->isVisible(), step.expandedAfter);
  }

  // Outside a floating panel the button does nothing.
  QWidget plain;
  FloatingPanelExpandableLayout* loose = makeLayout();
  loose->setParent(&plain);
  plain.resize(800, 400);
  plain.show();
  loose->toggleButton()->click();
  EXPECT_EQ(plain.width(), 800);
}

}  // namespace
}  // namespace tessra
