#include <QLabel>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "constraints/constrainable.h"
#include "platform/layout/view_layout.h"

namespace tessra::constraints {
namespace {

using A = platform::LayoutAttribute;

struct Made {
  QObject* first;
  A firstAttribute;
  QObject* second;
  A secondAttribute;
  double constant;
};

void expectStack(const Constraints& made, const std::vector<Made>& expected) {
  ASSERT_EQ(made.size(), expected.size());
  for (size_t i = 0; i < made.size(); ++i) {
    SCOPED_TRACE(made[i]->description());
    EXPECT_EQ(made[i]->firstItem().object(), expected[i].first);
    EXPECT_EQ(made[i]->firstAttribute(), expected[i].firstAttribute);
    EXPECT_EQ(made[i]->secondItem().object(), expected[i].second);
    EXPECT_EQ(made[i]->secondAttribute(), expected[i].secondAttribute);
    EXPECT_DOUBLE_EQ(made[i]->constant(), expected[i].constant);
    EXPECT_EQ(made[i]->relation(), platform::LayoutRelation::equal);
    EXPECT_EQ(made[i]->priority(), 1000);
    EXPECT_TRUE(made[i]->isActive());
  }
}

class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window = std::make_unique<QWidget>();
    m_window->resize(300, 400);
    m_container = new QWidget(m_window.get());
    m_container->setGeometry(0, 0, 300, 400);
    m_window->show();
  }

  std::vector<QWidget*> views(int count) {
    std::vector<QWidget*> made;
    for (int i = 0; i < count; ++i) made.push_back(new QWidget);
    m_owned.insert(m_owned.end(), made.begin(), made.end());
    return made;
  }

  void TearDown() override {
    // Views the stack adopted are deleted with the container; the rest are deleted here.
    for (QWidget* view : m_owned) {
      if (view->parentWidget() == nullptr) delete view;
    }
  }

  std::unique_ptr<QWidget> m_window;
  QWidget* m_container = nullptr;
  std::vector<QWidget*> m_owned;
};

TEST_F(StackTest, EmptyListStillPreparesContainer) {
  EXPECT_TRUE(ConstrainableView(m_container).stack({}).empty());
  EXPECT_FALSE(platform::translatesAutoresizingMaskIntoConstraints(m_container));
  EXPECT_TRUE(m_container->findChildren<QWidget*>().isEmpty());
}

TEST_F(StackTest, OneVerticalViewWithSizes) {
  const auto list = views(1);
  QWidget* v = list[0];
  QWidget* c = m_container;
  const Constraints made =
      ConstrainableView(c).stack(list, {.axis = Qt::Vertical, .width = 120, .height = 40});
  EXPECT_EQ(v->parentWidget(), c);
  EXPECT_TRUE(v->isVisible());
  expectStack(made, {{v, A::top, c, A::top, 0},
                     {v, A::left, c, A::left, 0},
                     {v, A::right, c, A::right, 0},
                     {v, A::bottom, c, A::bottom, 0},
                     {v, A::width, nullptr, A::notAnAttribute, 120},
                     {v, A::height, nullptr, A::notAnAttribute, 40}});
}

TEST_F(StackTest, ThreeHorizontalViewsWithSpacing) {
  const auto list = views(3);
  QWidget* c = m_container;
  const Constraints made = ConstrainableView(c).stack(list, {.axis = Qt::Horizontal, .spacing = 8});
  expectStack(made, {{list[0], A::top, c, A::top, 0},
                     {list[0], A::bottom, c, A::bottom, 0},
                     {list[0], A::left, c, A::left, 0},
                     {list[1], A::top, c, A::top, 0},
                     {list[1], A::bottom, c, A::bottom, 0},
                     {list[1], A::left, list[0], A::right, 8},
                     {list[2], A::top, c, A::top, 0},
                     {list[2], A::bottom, c, A::bottom, 0},
                     {list[2], A::left, list[1], A::right, 8},
                     {list[2], A::right, c, A::right, 0}});
}

TEST_F(StackTest, StackedFramesAndFittingHeight) {
  const auto list = views(3);
  ConstrainableView(m_container).stack(list, {.height = 30, .spacing = 8});
  // The container sits in its window by its top and sides; its height comes from the stack.
  const ConstrainableView container(m_container);
  container.topToSuperview();
  container.leftToSuperview();
  container.rightToSuperview();
  platform::layoutSubtreeIfNeeded(m_window.get());
  EXPECT_EQ(m_container->geometry(), QRect(0, 0, 300, 106));
  EXPECT_EQ(list[0]->geometry(), QRect(0, 0, 300, 30));
  EXPECT_EQ(list[1]->geometry(), QRect(0, 38, 300, 30));
  EXPECT_EQ(list[2]->geometry(), QRect(0, 76, 300, 30));
}

TEST_F(StackTest, HiddenViewsStayHidden) {
  auto* hidden = new QLabel("hidden");
  hidden->hide();
  auto* shown = new QLabel("shown");
  m_owned.push_back(hidden);
  m_owned.push_back(shown);
  const std::vector<QWidget*> list{hidden, shown};
  ConstrainableView(m_container).stack(list);
  EXPECT_FALSE(hidden->isVisible());
  EXPECT_TRUE(shown->isVisible());
}

}  // namespace
}  // namespace tessra::constraints
