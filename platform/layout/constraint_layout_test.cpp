#include "platform/layout/constraint_layout.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/layout/constant_animation.h"
#include "platform/layout/layout_guide.h"
#include "platform/layout/view_layout.h"
#include "testing/log_capture.h"
#include "testing/qt_wait.h"

namespace tessra::platform {
namespace {

using tessra::testing::LogCapture;

class ConstraintLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_container = std::make_unique<QWidget>();
    m_container->setObjectName("container");
    m_container->resize(400, 300);
    m_container->show();
  }

  QWidget* child(const char* name, QRect frame = {}) {
    auto* view = new QWidget(m_container.get());
    view->setObjectName(name);
    view->setGeometry(frame);
    setTranslatesAutoresizingMaskIntoConstraints(view, false);
    return view;
  }

  static LayoutConstraintPtr on(LayoutConstraintPtr constraint, LayoutPriority priority = 1000) {
    constraint->setPriority(priority);
    constraint->setActive(true);
    return constraint;
  }

  void layout() { layoutSubtreeIfNeeded(m_container.get()); }

  std::unique_ptr<QWidget> m_container;
};

TEST_F(ConstraintLayoutTest, EdgesToContainerWithInsets) {
  QWidget* view = child("view");
  QWidget* c = m_container.get();
  on(topAnchor(view).constraintEqualTo(topAnchor(c), 10));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c), 20));
  on(bottomAnchor(view).constraintEqualTo(bottomAnchor(c), -30));
  on(rightAnchor(view).constraintEqualTo(rightAnchor(c), -40));
  layout();
  EXPECT_EQ(view->geometry(), QRect(20, 10, 340, 260));
  EXPECT_TRUE(qobject_cast<ConstraintLayout*>(c->layout()) != nullptr);

  // The frame follows the container.
  c->resize(200, 100);
  layout();
  EXPECT_EQ(view->geometry(), QRect(20, 10, 140, 60));
}

TEST_F(ConstraintLayoutTest, SizesFromOtherItemsAndConstants) {
  QWidget* reference = child("reference");
  QWidget* view = child("view");
  QWidget* c = m_container.get();
  on(leftAnchor(reference).constraintEqualTo(leftAnchor(c)));
  on(topAnchor(reference).constraintEqualTo(topAnchor(c)));
  on(widthAnchor(reference).constraintEqualToConstant(120));
  on(heightAnchor(reference).constraintEqualToConstant(40));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  on(topAnchor(view).constraintEqualTo(bottomAnchor(reference)));
  on(widthAnchor(view).constraintEqualTo(widthAnchor(reference), 1.5, 10));
  on(heightAnchor(view).constraintEqualTo(widthAnchor(view), 0.5));
  layout();
  EXPECT_EQ(reference->geometry(), QRect(0, 0, 120, 40));
  EXPECT_EQ(view->geometry(), QRect(0, 40, 190, 95));
}

TEST_F(ConstraintLayoutTest, ChainsOfEdgesAndCentres) {
  QWidget* c = m_container.get();
  QWidget* a = child("a");
  QWidget* b = child("b");
  QWidget* centred = child("centred");
  for (QWidget* view : {a, b}) {
    on(topAnchor(view).constraintEqualTo(topAnchor(c), 5));
    on(heightAnchor(view).constraintEqualToConstant(30));
  }
  on(leftAnchor(a).constraintEqualTo(leftAnchor(c), 8));
  on(leftAnchor(b).constraintEqualTo(rightAnchor(a), 8));
  on(rightAnchor(b).constraintEqualTo(rightAnchor(c), -8));
  on(widthAnchor(a).constraintEqualTo(widthAnchor(b)));
  on(widthAnchor(centred).constraintEqualToConstant(100));
  on(heightAnchor(centred).constraintEqualToConstant(50));
  on(centerXAnchor(centred).constraintEqualTo(centerXAnchor(c)));
  on(centerYAnchor(centred).constraintEqualTo(centerYAnchor(c), 20));
  layout();
  EXPECT_EQ(a->geometry(), QRect(8, 5, 188, 30));
  EXPECT_EQ(b->geometry(), QRect(204, 5, 188, 30));
  EXPECT_EQ(centred->geometry(), QRect(150, 145, 100, 50));
}

TEST_F(ConstraintLayoutTest, UndecidedAxisKeepsOwnPositionAndSize) {
  QWidget* c = m_container.get();
  QWidget* plain = child("plain", QRect(3, 37, 50, 23));
  on(leftAnchor(plain).constraintEqualTo(leftAnchor(c), 10));
  on(widthAnchor(plain).constraintEqualToConstant(100));

  auto* button = new QPushButton("Send", c);
  button->setGeometry(70, 0, 10, 10);
  setTranslatesAutoresizingMaskIntoConstraints(button, false);
  on(topAnchor(button).constraintEqualTo(topAnchor(c), 200));
  on(leftAnchor(button).constraintEqualTo(leftAnchor(c), 70));
  layout();
  // No constraint decides the plain view's vertical axis: it keeps its own.
  EXPECT_EQ(plain->geometry(), QRect(10, 37, 100, 23));
  // The button's size comes from its size hint.
  EXPECT_EQ(button->geometry(), QRect(QPoint(70, 200), button->sizeHint()));
}

TEST_F(ConstraintLayoutTest, ChangedConstantIsLaidOutAgain) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  on(widthAnchor(view).constraintEqualToConstant(100));
  auto height = on(heightAnchor(view).constraintEqualToConstant(20));
  layout();
  ASSERT_EQ(view->height(), 20);

  // Without an explicit pass the event loop runs it.
  height->setConstant(64);
  ASSERT_EVENTUALLY_EQ(view->height(), 64, 5000);
  height->setConstant(33);
  layout();
  EXPECT_EQ(view->geometry(), QRect(0, 0, 100, 33));
}

// The floating panel's slide: the leading constant moves the panel out, in, and out again.
TEST_F(ConstraintLayoutTest, SlideByOneEdgeConstant) {
  QWidget* c = m_container.get();
  QWidget* panel = child("panel");
  on(topAnchor(panel).constraintEqualTo(topAnchor(c)));
  on(bottomAnchor(panel).constraintEqualTo(bottomAnchor(c)));
  on(widthAnchor(panel).constraintEqualTo(widthAnchor(c)));
  auto slide = on(leftAnchor(panel).constraintEqualTo(leftAnchor(c), 500));
  const struct {
    double constant;
    QRect expected;
  } steps[] = {
      {500, QRect(500, 0, 400, 300)},
      {0, QRect(0, 0, 400, 300)},
      {400, QRect(400, 0, 400, 300)},
  };
  for (const auto& step : steps) {
    slide->setConstant(step.constant);
    layout();
    EXPECT_EQ(panel->geometry(), step.expected) << step.constant;
  }
}

TEST_F(ConstraintLayoutTest, AnimatedConstantLaysOutEveryFrame) {
  QWidget* c = m_container.get();
  QWidget* panel = child("panel");
  on(topAnchor(panel).constraintEqualTo(topAnchor(c)));
  on(heightAnchor(panel).constraintEqualToConstant(50));
  on(widthAnchor(panel).constraintEqualToConstant(100));
  auto slide = on(leftAnchor(panel).constraintEqualTo(leftAnchor(c), 300));
  layout();

  ConstantAnimation animation(slide, 0, 600, QEasingCurve::Linear);
  constexpr int kFrames = 60;
  for (int frame = 0; frame <= kFrames; ++frame) {
    animation.setCurrentTime(frame * 600 / kFrames);
    const double expected = 300.0 * (1.0 - frame / double(kFrames));
    EXPECT_NEAR(slide->constant(), expected, 1e-9) << frame;
    EXPECT_EQ(panel->geometry(), QRect(int(std::lround(expected)), 0, 100, 50)) << frame;
  }

  // Run for real: every frame painted shows the constant of that frame.
  ConstantAnimation back(slide, 250, 200, QEasingCurve::OutCubic);
  std::vector<std::pair<double, int>> seen;
  QObject::connect(&back, &QVariantAnimation::valueChanged,
                   [&](const QVariant&) { seen.emplace_back(slide->constant(), panel->x()); });
  back.start();
  ASSERT_EVENTUALLY_EQ(back.state(), QAbstractAnimation::Stopped, 5000);
  ASSERT_FALSE(seen.empty());
  for (const auto& [constant, x] : seen) EXPECT_EQ(x, int(std::lround(constant)));
  EXPECT_EQ(panel->x(), 250);
}

TEST_F(ConstraintLayoutTest, DeactivationHandsBackToWeakerConstraints) {
  QWidget* c = m_container.get();
  QWidget* view = child("view", QRect(0, 0, 10, 10));
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  on(heightAnchor(view).constraintEqualToConstant(10));
  on(widthAnchor(view).constraintEqualToConstant(90), 250);
  auto strong = on(widthAnchor(view).constraintEqualToConstant(180));
  layout();
  EXPECT_EQ(view->width(), 180);
  strong->setActive(false);
  EXPECT_FALSE(strong->isActive());
  EXPECT_EQ(strong->container(), nullptr);
  layout();
  EXPECT_EQ(view->width(), 90);
  LayoutConstraint::activate(std::vector{strong});
  layout();
  EXPECT_EQ(view->width(), 180);
}

TEST_F(ConstraintLayoutTest, InequalitiesLimitPreferences) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  on(heightAnchor(view).constraintEqualToConstant(10));
  on(widthAnchor(view).constraintGreaterThanOrEqualToConstant(100));
  on(widthAnchor(view).constraintLessThanOrEqualTo(widthAnchor(c), 0.5));
  on(widthAnchor(view).constraintEqualTo(widthAnchor(c), 1, -250), 500);
  const struct {
    int containerWidth;
    int expected;
  } cases[] = {{300, 100}, {400, 150}, {1000, 500}};
  for (const auto& test : cases) {
    c->resize(test.containerWidth, 300);
    layout();
    EXPECT_EQ(view->width(), test.expected) << test.containerWidth;
  }
}

TEST_F(ConstraintLayoutTest, PrioritiesBelowRequiredApplyOnlyWhereFree) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(heightAnchor(view).constraintEqualToConstant(10));
  on(widthAnchor(view).constraintEqualToConstant(100));
  // Outweighed by the required width.
  on(widthAnchor(view).constraintEqualToConstant(300), 999);
  // Free quantity: the stronger of two preferences wins.
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c), 40), 250);
  auto left = on(leftAnchor(view).constraintEqualTo(leftAnchor(c), 60), 750);
  layout();
  EXPECT_EQ(view->geometry(), QRect(60, 0, 100, 10));
  left->setPriority(100);
  layout();
  EXPECT_EQ(view->x(), 40);
}

TEST_F(ConstraintLayoutTest, AStrongerPriorityIsMetBeforeAnyNumberOfWeakerOnes) {
  struct Case {
    LayoutPriority strong;
    LayoutPriority weak;
    int weakCount;
  };
  for (const Case& c : {Case{999, 998, 2}, Case{300, 260, 2}, Case{251, 250, 20}}) {
    SCOPED_TRACE(::testing::Message() << c.strong << " against " << c.weak << " x" << c.weakCount);
    m_container = std::make_unique<QWidget>();
    m_container->resize(400, 300);
    m_container->show();
    QWidget* view = child("view");
    on(topAnchor(view).constraintEqualTo(topAnchor(m_container.get())));
    on(heightAnchor(view).constraintEqualToConstant(10));
    on(widthAnchor(view).constraintEqualToConstant(10));
    for (int i = 0; i < c.weakCount; ++i)
      on(leftAnchor(view).constraintEqualTo(leftAnchor(m_container.get()), 20), c.weak);
    on(leftAnchor(view).constraintEqualTo(leftAnchor(m_container.get()), 70), c.strong);
    layout();
    EXPECT_EQ(view->x(), 70);
  }
}

TEST_F(ConstraintLayoutTest, ConflictIsReportedAndMarkedNeverApplied) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  on(heightAnchor(view).constraintEqualToConstant(10));
  auto first = on(widthAnchor(view).constraintEqualToConstant(100));
  LogCapture log;
  auto clash = on(widthAnchor(view).constraintEqualToConstant(200));
  layout();
  EXPECT_EQ(view->width(), 100);
  EXPECT_TRUE(clash->isActive());
  EXPECT_TRUE(clash->hasConflict());
  EXPECT_FALSE(first->hasConflict());
  EXPECT_TRUE(log.contains("Unable to satisfy the layout constraint QWidget(view).width == 200"));

  // Once the other one goes, the marked constraint is met.
  first->setActive(false);
  layout();
  EXPECT_FALSE(clash->hasConflict());
  EXPECT_EQ(view->width(), 200);
}

TEST_F(ConstraintLayoutTest, ConflictWithContainerSizeIsMarked) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(heightAnchor(view).constraintEqualToConstant(10));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(c)));
  auto right = on(rightAnchor(view).constraintEqualTo(rightAnchor(c)));
  auto minimum = on(widthAnchor(view).constraintGreaterThanOrEqualToConstant(300));
  layout();
  EXPECT_EQ(view->width(), 400);
  LogCapture log;
  c->resize(200, 300);
  layout();
  // The container's size always holds; one of the two clashing constraints is left out.
  EXPECT_TRUE(right->hasConflict() || minimum->hasConflict());
  EXPECT_FALSE(log.lines().empty());
  EXPECT_EQ(view->x(), 0);
  c->resize(500, 300);
  layout();
  EXPECT_FALSE(right->hasConflict());
  EXPECT_FALSE(minimum->hasConflict());
  EXPECT_EQ(view->width(), 500);
}

TEST_F(ConstraintLayoutTest, ConstraintsThatCannotBeInstalledStayInactive) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  auto* grandchild = new QWidget(view);
  auto* orphan = new QWidget;
  std::unique_ptr<QWidget> orphanOwner(orphan);
  auto* boxed = new QWidget(c);
  auto* inBox = new QWidget(boxed);
  new QVBoxLayout(boxed);

  const struct {
    const char* name;
    LayoutConstraintPtr constraint;
    const char* logged;
  } cases[] = {
      {"grandchild", topAnchor(grandchild).constraintEqualTo(topAnchor(c)), "no common container"},
      {"orphan", widthAnchor(orphan).constraintEqualToConstant(10), "no common container"},
      {"other layout", widthAnchor(inBox).constraintEqualToConstant(10),
       "run by another kind of layout"},
      {"position to constant",
       LayoutConstraint::make(view, LayoutAttribute::left, LayoutRelation::equal, {},
                              LayoutAttribute::notAnAttribute, 1, 10),
       "a position can only be related"},
      {"leading with left", leadingAnchor(view).constraintEqualTo(leftAnchor(c)),
       "mixes leading or trailing"},
      {"mixed axes",
       LayoutConstraint::make(view, LayoutAttribute::left, LayoutRelation::equal, c,
                              LayoutAttribute::top, 1, 0),
       "different kinds"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    LogCapture log;
    test.constraint->setActive(true);
    EXPECT_FALSE(test.constraint->isActive());
    EXPECT_TRUE(log.contains(test.logged));
  }
}

TEST_F(ConstraintLayoutTest, ChildThatLeavesOrDiesTakesItsConstraintsAlong) {
  QWidget* c = m_container.get();
  QWidget* leaving = child("leaving");
  QWidget* dying = child("dying");
  auto leavingWidth = on(widthAnchor(leaving).constraintEqualToConstant(30));
  auto dyingTop = on(topAnchor(dying).constraintEqualTo(topAnchor(c), 4));
  auto tie = on(leftAnchor(dying).constraintEqualTo(rightAnchor(leaving)));
  layout();
  ASSERT_TRUE(leavingWidth->isActive());

  QWidget elsewhere;
  leaving->setParent(&elsewhere);
  layout();
  EXPECT_FALSE(leavingWidth->isActive());
  EXPECT_FALSE(tie->isActive());
  EXPECT_TRUE(dyingTop->isActive());

  delete dying;
  layout();
  EXPECT_FALSE(dyingTop->isActive());
  EXPECT_TRUE(dyingTop->firstItem().isNull());
}

TEST_F(ConstraintLayoutTest, LayoutGuidesAreSolvedButNotShown) {
  QWidget* c = m_container.get();
  auto* guide = new LayoutGuide(c);
  QWidget* view = child("view");
  on(leftAnchor(guide).constraintEqualTo(leftAnchor(c), 50));
  on(rightAnchor(guide).constraintEqualTo(rightAnchor(c), -50));
  on(topAnchor(guide).constraintEqualTo(topAnchor(c)));
  on(heightAnchor(guide).constraintEqualTo(heightAnchor(c), 0.5));
  on(leftAnchor(view).constraintEqualTo(leftAnchor(guide)));
  on(widthAnchor(view).constraintEqualTo(widthAnchor(guide), 0.5));
  on(topAnchor(view).constraintEqualTo(bottomAnchor(guide)));
  on(bottomAnchor(view).constraintEqualTo(bottomAnchor(c)));
  layout();
  EXPECT_EQ(guide->frame(), QRectF(50, 0, 300, 150));
  EXPECT_EQ(view->geometry(), QRect(50, 150, 150, 150));
}

TEST_F(ConstraintLayoutTest, LeadingAndTrailingFollowLayoutDirection) {
  QWidget* c = m_container.get();
  QWidget* first = child("first");
  QWidget* next = child("next");
  for (QWidget* view : {first, next}) {
    on(topAnchor(view).constraintEqualTo(topAnchor(c)));
    on(heightAnchor(view).constraintEqualToConstant(10));
    on(widthAnchor(view).constraintEqualToConstant(100));
  }
  on(leadingAnchor(first).constraintEqualTo(leadingAnchor(c), 10));
  on(leadingAnchor(next).constraintEqualTo(trailingAnchor(first), 8));
  layout();
  EXPECT_EQ(first->x(), 10);
  EXPECT_EQ(next->x(), 118);
  c->setLayoutDirection(Qt::RightToLeft);
  layout();
  EXPECT_EQ(first->x(), 290);
  EXPECT_EQ(next->x(), 182);
}

TEST_F(ConstraintLayoutTest, WidgetKeepingItsFrameIsAFixedReference) {
  QWidget* c = m_container.get();
  auto* fixed = new QWidget(c);
  fixed->setGeometry(10, 20, 30, 40);
  QWidget* view = child("view");
  on(leftAnchor(view).constraintEqualTo(rightAnchor(fixed), 5));
  on(topAnchor(view).constraintEqualTo(topAnchor(fixed)));
  on(widthAnchor(view).constraintEqualTo(widthAnchor(fixed)));
  on(heightAnchor(view).constraintEqualTo(heightAnchor(fixed)));
  LogCapture log;
  auto moveFixed = on(widthAnchor(fixed).constraintEqualToConstant(99));
  layout();
  EXPECT_EQ(fixed->geometry(), QRect(10, 20, 30, 40));
  EXPECT_EQ(view->geometry(), QRect(45, 20, 30, 40));
  EXPECT_TRUE(moveFixed->hasConflict());

  // Once its frame is handed over, the constraint moves it.
  setTranslatesAutoresizingMaskIntoConstraints(fixed, false);
  layout();
  EXPECT_FALSE(moveFixed->hasConflict());
  EXPECT_EQ(fixed->width(), 99);
  EXPECT_EQ(view->geometry(), QRect(114, 20, 99, 40));
}

TEST_F(ConstraintLayoutTest, FittingSizeFollowsContentWhereItDecides) {
  auto inner = std::make_unique<QWidget>();
  QWidget* first = new QWidget(inner.get());
  QWidget* second = new QWidget(inner.get());
  for (QWidget* view : {first, second}) setTranslatesAutoresizingMaskIntoConstraints(view, false);
  on(topAnchor(first).constraintEqualTo(topAnchor(inner.get())));
  on(heightAnchor(first).constraintEqualToConstant(30));
  on(topAnchor(second).constraintEqualTo(bottomAnchor(first), 8));
  on(heightAnchor(second).constraintEqualToConstant(20));
  on(bottomAnchor(second).constraintEqualTo(bottomAnchor(inner.get())));
  for (QWidget* view : {first, second}) {
    on(leftAnchor(view).constraintEqualTo(leftAnchor(inner.get())));
    on(rightAnchor(view).constraintEqualTo(rightAnchor(inner.get())));
  }
  // The heights decide the container's height; nothing decides its width.
  EXPECT_EQ(inner->sizeHint(), QSize(-1, 58));
  on(widthAnchor(first).constraintEqualToConstant(120));
  EXPECT_EQ(inner->sizeHint(), QSize(120, 58));
}

// A widget that counts how often its size hint is asked for.
class CountedHint : public QWidget {
 public:
  using QWidget::QWidget;
  QSize sizeHint() const override {
    ++asked;
    return {80, 24};
  }
  mutable int asked = 0;
};

TEST_F(ConstraintLayoutTest, SizeHintsAreAskedOnlyWhereTheyCanDecide) {
  QWidget* c = m_container.get();
  auto* pinned = new CountedHint(c);
  auto* placed = new CountedHint(c);
  for (QWidget* view : {static_cast<QWidget*>(pinned), static_cast<QWidget*>(placed)})
    setTranslatesAutoresizingMaskIntoConstraints(view, false);
  // Every edge of one is fixed against the container; the other has only a position.
  on(leadingAnchor(pinned).constraintEqualTo(leadingAnchor(c), 10));
  on(trailingAnchor(pinned).constraintEqualTo(trailingAnchor(c), -10));
  on(topAnchor(pinned).constraintEqualTo(topAnchor(c)));
  on(heightAnchor(pinned).constraintEqualTo(heightAnchor(c), 0.5));
  on(leftAnchor(placed).constraintEqualTo(leftAnchor(c), 7));
  on(topAnchor(placed).constraintEqualTo(bottomAnchor(pinned)));
  layout();
  EXPECT_EQ(pinned->geometry(), QRect(10, 0, 380, 150));
  EXPECT_EQ(pinned->asked, 0);
  EXPECT_EQ(placed->geometry(), QRect(7, 150, 80, 24));
  EXPECT_GT(placed->asked, 0);
}

// Counts the layout requests a widget receives.
class LayoutRequests : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::LayoutRequest) ++count;
    return false;
  }
};

TEST_F(ConstraintLayoutTest, AChangedConstantReachesTheLayoutAroundOnlyWhenTheFittingSizeChanges) {
  // The container sits in a box layout that sizes it by its fitting size.
  QWidget* outer = m_container.get();
  auto* box = new QVBoxLayout(outer);
  box->setContentsMargins(0, 0, 0, 0);
  auto* inner = new QWidget;
  inner->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  box->addWidget(inner);
  box->addStretch(1);
  QWidget* view = new QWidget(inner);
  setTranslatesAutoresizingMaskIntoConstraints(view, false);
  auto slide = on(leftAnchor(view).constraintEqualTo(leftAnchor(inner), 50));
  on(widthAnchor(view).constraintEqualTo(widthAnchor(inner)));
  on(topAnchor(view).constraintEqualTo(topAnchor(inner), 10));
  auto height = on(heightAnchor(view).constraintEqualToConstant(30));
  on(bottomAnchor(view).constraintEqualTo(bottomAnchor(inner)));
  ASSERT_EVENTUALLY_EQ(inner->height(), 40, 5000);

  // A new height changes the fitting size: the box gives the container its new height.
  height->setConstant(64);
  ASSERT_EVENTUALLY_EQ(inner->height(), 74, 5000);
  EXPECT_EQ(view->geometry(), QRect(50, 10, 400, 64));

  // Sliding the view within its container changes no size: the box is not asked again.
  LayoutRequests requests;
  outer->installEventFilter(&requests);
  slide->setConstant(-120);
  ASSERT_EVENTUALLY_EQ(view->x(), -120, 5000);
  QCoreApplication::processEvents();
  EXPECT_EQ(requests.count, 0);
  EXPECT_EQ(inner->geometry(), QRect(0, 0, 400, 74));
}

TEST_F(ConstraintLayoutTest, OnlyChildrenThatHoldConstraintsLayOutAgainAsTheyGo) {
  QWidget* c = m_container.get();
  QWidget* view = child("view");
  auto* guide = new LayoutGuide(c);
  on(leftAnchor(guide).constraintEqualTo(leftAnchor(c), 20));
  on(widthAnchor(guide).constraintEqualToConstant(100));
  auto slide = on(leftAnchor(view).constraintEqualTo(rightAnchor(guide)));
  on(topAnchor(view).constraintEqualTo(topAnchor(c)));
  on(widthAnchor(view).constraintEqualToConstant(50));
  on(heightAnchor(view).constraintEqualToConstant(50));
  layout();
  ASSERT_EQ(view->geometry(), QRect(120, 0, 50, 50));
  QCoreApplication::processEvents();

  // A slide's animation, parented to the container and gone at its end, lays out nothing.
  LayoutRequests requests;
  c->installEventFilter(&requests);
  delete new ConstantAnimation(slide, 10, 0, QEasingCurve(), c);
  delete new QObject(c);
  QCoreApplication::processEvents();
  EXPECT_EQ(requests.count, 0);

  // A guide is no widget, yet its constraints go with it.
  delete guide;
  QCoreApplication::processEvents();
  EXPECT_GT(requests.count, 0);
  layout();
  EXPECT_FALSE(slide->isActive());
}

}  // namespace
}  // namespace tessra::platform
