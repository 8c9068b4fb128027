#include "constraints/constrainable.h"

#include <QFont>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/layout/view_layout.h"
#include "testing/log_capture.h"

namespace tessra::constraints {
namespace {

using platform::LayoutAttribute;
using platform::LayoutRelation;
using A = LayoutAttribute;
using R = LayoutRelation;

// What a made constraint must be: first item and attribute, relation, second item and
// attribute, multiplier, constant.
struct Expected {
  QObject* first;
  A firstAttribute;
  R relation;
  QObject* second;
  A secondAttribute;
  double multiplier;
  double constant;
};

void expectConstraints(const Constraints& made, const std::vector<Expected>& expected,
                       LayoutPriority priority = 1000, bool active = true) {
  ASSERT_EQ(made.size(), expected.size());
  for (size_t i = 0; i < made.size(); ++i) {
    SCOPED_TRACE("constraint " + std::to_string(i) + ": " + made[i]->description());
    const Expected& e = expected[i];
    EXPECT_EQ(made[i]->firstItem().object(), e.first);
    EXPECT_EQ(made[i]->firstAttribute(), e.firstAttribute);
    EXPECT_EQ(made[i]->relation(), e.relation);
    EXPECT_EQ(made[i]->secondItem().object(), e.second);
    EXPECT_EQ(made[i]->secondAttribute(), e.secondAttribute);
    EXPECT_DOUBLE_EQ(made[i]->multiplier(), e.multiplier);
    EXPECT_DOUBLE_EQ(made[i]->constant(), e.constant);
    EXPECT_EQ(made[i]->priority(), priority);
    EXPECT_EQ(made[i]->isActive(), active);
  }
}

using tessra::testing::LogCapture;

class ConstrainableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_superview = std::make_unique<QWidget>();
    m_superview->resize(400, 300);
    m_view = new QWidget(m_superview.get());
    m_other = new QWidget(m_superview.get());
    m_superview->show();
  }

  void layout() { platform::layoutSubtreeIfNeeded(m_superview.get()); }

  std::unique_ptr<QWidget> m_superview;
  QWidget* m_view = nullptr;
  QWidget* m_other = nullptr;
};

TEST_F(ConstrainableTest, EdgesToSuperviewWithZeroInsets) {
  const Constraints made = ConstrainableView(m_view).edgesToSuperview();
  QWidget* s = m_superview.get();
  expectConstraints(made, {{m_view, A::top, R::equal, s, A::top, 1, 0},
                           {m_view, A::left, R::equal, s, A::left, 1, 0},
                           {m_view, A::right, R::equal, s, A::right, 1, 0},
                           {m_view, A::bottom, R::equal, s, A::bottom, 1, 0}});
  EXPECT_FALSE(platform::translatesAutoresizingMaskIntoConstraints(m_view));
  layout();
  EXPECT_EQ(m_view->geometry(), QRect(0, 0, 400, 300));
}

TEST_F(ConstrainableTest, EdgesToSuperviewNegatesBottomAndRightInsets) {
  const Constraints made =
      ConstrainableView(m_view).edgesToSuperview(LayoutEdge::none, {10, 20, 30, 40});
  std::vector<double> constants;
  for (const auto& constraint : made) constants.push_back(constraint->constant());
  EXPECT_EQ(constants, (std::vector<double>{10, 20, -40, -30}));
  layout();
  EXPECT_EQ(m_view->geometry(), QRect(20, 10, 340, 260));
}

TEST_F(ConstrainableTest, EdgesToSuperviewHonoursEveryExcludedEdge) {
  const struct {
    const char* name;
    LayoutEdge excluding;
    std::vector<A> made;
  } cases[] = {
      {"none", LayoutEdge::none, {A::top, A::left, A::right, A::bottom}},
      {"left", LayoutEdge::left, {A::top, A::right, A::bottom}},
      {"leading", LayoutEdge::leading, {A::top, A::right, A::bottom}},
      {"right", LayoutEdge::right, {A::top, A::left, A::bottom}},
      {"trailing", LayoutEdge::trailing, {A::top, A::left, A::bottom}},
      {"top and bottom", {LayoutEdge::top, LayoutEdge::bottom}, {A::left, A::right}},
      {"empty set", LayoutEdge{}, {A::top, A::left, A::right, A::bottom}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto* view = new QWidget(m_superview.get());
    const Constraints made = ConstrainableView(view).edgesToSuperview(test.excluding);
    std::vector<A> attributes;
    for (const auto& constraint : made) attributes.push_back(constraint->firstAttribute());
    EXPECT_EQ(attributes, test.made);
    made.deactivate();
  }
}

TEST_F(ConstrainableTest, EdgesToItemOrderRelationAndExclusions) {
  const Constraints made = Constrainable(m_view).edges(
      m_other,
      {.insets = {1, 2, 3, 4}, .relation = ConstraintRelation::equalOrGreater, .priority = 500});
  expectConstraints(made,
                    {{m_view, A::top, R::greaterThanOrEqual, m_other, A::top, 1, 1},
                     {m_view, A::left, R::greaterThanOrEqual, m_other, A::left, 1, 2},
                     {m_view, A::bottom, R::greaterThanOrEqual, m_other, A::bottom, 1, -3},
                     {m_view, A::right, R::greaterThanOrEqual, m_other, A::right, 1, -4}},
                    500);
  made.deactivate();
  const Constraints some = Constrainable(m_view).edges(
      m_other, {.excluding = {LayoutEdge::right, LayoutEdge::top}, .isActive = false});
  expectConstraints(some,
                    {{m_view, A::left, R::equal, m_other, A::left, 1, 0},
                     {m_view, A::bottom, R::equal, m_other, A::bottom, 1, 0}},
                    1000, false);
}

TEST_F(ConstrainableTest, SingleEdgesUseOffsetUnchanged) {
  const Constrainable view(m_view);
  auto anchor = Constrainable(m_other).centerXAnchor();
  expectConstraints({view.top(m_other, {.offset = 8}), view.bottom(m_other, {.offset = 8}),
                     view.left(m_other, {.relation = ConstraintRelation::equalOrLess}),
                     view.right(m_other, {.anchor = anchor, .offset = -2}), view.leading(m_other),
                     view.trailing(m_other, {.offset = 3})},
                    {{m_view, A::top, R::equal, m_other, A::top, 1, 8},
                     {m_view, A::bottom, R::equal, m_other, A::bottom, 1, 8},
                     {m_view, A::left, R::lessThanOrEqual, m_other, A::left, 1, 0},
                     {m_view, A::right, R::equal, m_other, A::centerX, 1, -2},
                     {m_view, A::leading, R::equal, m_other, A::leading, 1, 0},
                     {m_view, A::trailing, R::equal, m_other, A::trailing, 1, 3}});
}

TEST_F(ConstrainableTest, CrossEdgesAndDimensions) {
  const Constrainable view(m_view);
  expectConstraints(
      {view.leftToRight(m_other, {.offset = 4}), view.rightToLeft(m_other),
       view.topToBottom(m_other), view.bottomToTop(m_other), view.leadingToTrailing(m_other),
       view.trailingToLeading(m_other), view.widthToHeight(m_other, {.multiplier = 2, .offset = 1}),
       view.heightToWidth(m_other, {.relation = ConstraintRelation::equalOrGreater}),
       view.width(m_other, {.multiplier = 0.5}), view.height(m_other, {.offset = -6})},
      {{m_view, A::left, R::equal, m_other, A::right, 1, 4},
       {m_view, A::right, R::equal, m_other, A::left, 1, 0},
       {m_view, A::top, R::equal, m_other, A::bottom, 1, 0},
       {m_view, A::bottom, R::equal, m_other, A::top, 1, 0},
       {m_view, A::leading, R::equal, m_other, A::trailing, 1, 0},
       {m_view, A::trailing, R::equal, m_other, A::leading, 1, 0},
       {m_view, A::width, R::equal, m_other, A::height, 2, 1},
       {m_view, A::height, R::greaterThanOrEqual, m_other, A::width, 1, 0},
       {m_view, A::width, R::equal, m_other, A::width, 0.5, 0},
       {m_view, A::height, R::equal, m_other, A::height, 1, -6}});
}

TEST_F(ConstrainableTest, CentreWithAnchorIgnoresMultiplier) {
  const Constrainable view(m_view);
  auto withAnchor = view.centerX(
      m_other, {.anchor = Constrainable(m_other).leftAnchor(), .multiplier = 2, .offset = 5});
  auto withoutAnchor = view.centerX(m_other, {.multiplier = 2, .offset = 5});
  auto vertical = view.centerY(m_other, {.multiplier = 3, .isActive = false});
  expectConstraints({withAnchor, withoutAnchor},
                    {{m_view, A::centerX, R::equal, m_other, A::left, 1, 5},
                     {m_view, A::centerX, R::equal, m_other, A::centerX, 2, 5}});
  expectConstraints({vertical}, {{m_view, A::centerY, R::equal, m_other, A::centerY, 3, 0}}, 1000,
                    false);
}

TEST_F(ConstrainableTest, ConstantsBoundsSizesAndAspectRatio) {
  const Constrainable view(m_view);
  expectConstraints({view.width(10), view.height(20, {.relation = ConstraintRelation::equalOrLess}),
                     view.aspectRatio(2)},
                    {{m_view, A::width, R::equal, nullptr, A::notAnAttribute, 1, 10},
                     {m_view, A::height, R::lessThanOrEqual, nullptr, A::notAnAttribute, 1, 20},
                     {m_view, A::width, R::equal, m_view, A::height, 2, 0}});

  auto* fresh = new QWidget(m_superview.get());
  EXPECT_TRUE(Constrainable(fresh).width(Bounds{}).empty());
  EXPECT_FALSE(platform::translatesAutoresizingMaskIntoConstraints(fresh));
  expectConstraints(Constrainable(fresh).height({.min = 5, .max = 50, .priority = 300}),
                    {{fresh, A::height, R::greaterThanOrEqual, nullptr, A::notAnAttribute, 1, 5},
                     {fresh, A::height, R::lessThanOrEqual, nullptr, A::notAnAttribute, 1, 50}},
                    300);
  expectConstraints(Constrainable(fresh).size(QSizeF(7, 9)),
                    {{fresh, A::width, R::equal, nullptr, A::notAnAttribute, 1, 7},
                     {fresh, A::height, R::equal, nullptr, A::notAnAttribute, 1, 9}});
  expectConstraints(Constrainable(m_other).size(fresh, {.multiplier = 2, .insets = {3, 4}}),
                    {{m_other, A::width, R::equal, fresh, A::width, 2, 3},
                     {m_other, A::height, R::equal, fresh, A::height, 2, 4}});
}

TEST_F(ConstrainableTest, OriginAndCentreIn) {
  expectConstraints(Constrainable(m_view).origin(m_other, {.insets = {1, 2, 3, 4}}),
                    {{m_view, A::left, R::equal, m_other, A::left, 1, 2},
                     {m_view, A::top, R::equal, m_other, A::top, 1, 1}});
  expectConstraints(Constrainable(m_other).center(m_view, {.offset = {3, -4}}),
                    {{m_other, A::centerX, R::equal, m_view, A::centerX, 1, 3},
                     {m_other, A::centerY, R::equal, m_view, A::centerY, 1, -4}});
}

TEST_F(ConstrainableTest, SuperviewForms) {
  const ConstrainableView view(m_view);
  QWidget* s = m_superview.get();
  expectConstraints(
      {view.topToSuperview({.offset = 1}),
       view.bottomToSuperview({.offset = 8, .relation = ConstraintRelation::equalOrLess}),
       view.leftToSuperview(), view.rightToSuperview({.offset = 8}),
       view.widthToSuperview({.multiplier = 0.5}), view.heightToSuperview({.offset = -2}),
       view.centerXToSuperview({.multiplier = 2}), view.centerYToSuperview({.offset = 3})},
      {{m_view, A::top, R::equal, s, A::top, 1, 1},
       {m_view, A::bottom, R::lessThanOrEqual, s, A::bottom, 1, 8},
       {m_view, A::left, R::equal, s, A::left, 1, 0},
       {m_view, A::right, R::equal, s, A::right, 1, 8},
       {m_view, A::width, R::equal, s, A::width, 0.5, 0},
       {m_view, A::height, R::equal, s, A::height, 1, -2},
       {m_view, A::centerX, R::equal, s, A::centerX, 2, 0},
       {m_view, A::centerY, R::equal, s, A::centerY, 1, 3}});
  expectConstraints(ConstrainableView(m_other).centerInSuperview({.isActive = false}),
                    {{m_other, A::centerX, R::equal, s, A::centerX, 1, 0},
                     {m_other, A::centerY, R::equal, s, A::centerY, 1, 0}},
                    1000, false);
  expectConstraints(ConstrainableView(m_other).originToSuperview({.insets = {5, 6, 7, 8}}),
                    {{m_other, A::left, R::equal, s, A::left, 1, 6},
                     {m_other, A::top, R::equal, s, A::top, 1, 5}});
}

TEST_F(ConstrainableTest, InactiveConstraintsKeepEverythingButActivation) {
  const Constrainable view(m_view);
  Constraints made{
      view.width(30, {.priority = 250, .isActive = false}),
      view.height(m_other, {.multiplier = 3, .offset = 2, .priority = 250, .isActive = false})};
  expectConstraints(made,
                    {{m_view, A::width, R::equal, nullptr, A::notAnAttribute, 1, 30},
                     {m_view, A::height, R::equal, m_other, A::height, 3, 2}},
                    250, false);
  made.activate();
  expectConstraints(made,
                    {{m_view, A::width, R::equal, nullptr, A::notAnAttribute, 1, 30},
                     {m_view, A::height, R::equal, m_other, A::height, 3, 2}},
                    250, true);
  auto same = with(made[0], 700);
  EXPECT_EQ(same.get(), made[0].get());
  EXPECT_EQ(made[0]->priority(), 700);
  EXPECT_EQ(set(made[0], false).get(), made[0].get());
  EXPECT_FALSE(made[0]->isActive());
}

TEST_F(ConstrainableTest, PrepareForLayout) {
  auto* guide = new platform::LayoutGuide(m_superview.get());
  const Constrainable guideItem(guide);
  EXPECT_EQ(guideItem.prepareForLayout().item().object(), guide);
  EXPECT_EQ(guide->frame(), QRectF());
  EXPECT_TRUE(platform::translatesAutoresizingMaskIntoConstraints(m_view));
  Constrainable(m_view).prepareForLayout().prepareForLayout();
  EXPECT_FALSE(platform::translatesAutoresizingMaskIntoConstraints(m_view));
}

TEST_F(ConstrainableTest, ViewWithoutSuperviewIsLoggedAndInactive) {
  QWidget orphan;
  const ConstrainableView view(&orphan);
  LogCapture log;
  auto top = view.topToSuperview({.offset = 4});
  ASSERT_TRUE(top);
  EXPECT_FALSE(top->isActive());
  EXPECT_EQ(top->firstAttribute(), A::top);
  EXPECT_DOUBLE_EQ(top->constant(), 4);
  EXPECT_TRUE(view.edgesToSuperview().empty());
  EXPECT_TRUE(view.centerInSuperview().empty());
  EXPECT_TRUE(view.originToSuperview().empty());
  ASSERT_EQ(log.lines().size(), 4u);
  for (const auto& line : log.lines()) {
    EXPECT_EQ(line,
              "Unable to create this constraint to it's superview, because it has no "
              "superview.");
  }
  // Excluding every edge never looks for the superview.
  EXPECT_TRUE(view.edgesToSuperview({LayoutEdge::top, LayoutEdge::leading, LayoutEdge::trailing,
                                     LayoutEdge::bottom})
                  .empty());
  EXPECT_EQ(log.lines().size(), 4u);
  // The inactive result cannot be forced into layout later.
  top->setActive(true);
  EXPECT_FALSE(top->isActive());
}

// How the floating panel and the prompt box use the interface.
TEST_F(ConstrainableTest, PanelAndPromptBoxLayout) {
  auto* content = new QWidget(m_superview.get());
  auto* hosted = new QWidget(m_superview.get());
  auto* prompt = new QWidget(content);
  ConstrainableView(content).edgesToSuperview();
  Constrainable(hosted).width(content);
  Constrainable(hosted).height(content);
  ConstrainableView(prompt).leftToSuperview();
  ConstrainableView(prompt).rightToSuperview();
  ConstrainableView(prompt).bottomToSuperview();
  QFont font;
  font.setPointSize(13);
  auto height = Constrainable(prompt).height(font.pointSize() + 4);
  layout();
  EXPECT_EQ(content->geometry(), QRect(0, 0, 400, 300));
  EXPECT_EQ(hosted->size(), QSize(400, 300));
  EXPECT_EQ(prompt->geometry(), QRect(0, 283, 400, 17));

  // The prompt box grows with its text by changing the kept constant.
  height->setConstant(60);
  m_superview->resize(500, 320);
  layout();
  EXPECT_EQ(content->geometry(), QRect(0, 0, 500, 320));
  EXPECT_EQ(hosted->size(), QSize(500, 320));
  EXPECT_EQ(prompt->geometry(), QRect(0, 260, 500, 60));
}

}  // namespace
}  // namespace tessra::constraints
