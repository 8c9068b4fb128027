#include "Tessra/chat_window/side_pane_view.h"

#include <QLabel>
#include <QLayout>
#include <QTest>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/user_settings.h"

namespace tessra {
namespace {

using chat_window_test::ChatWindowTest;

class SidePaneViewTest : public ChatWindowTest {
 protected:
  // True when the pane stands right of the main column, once the layout has placed them.
  static bool paneOnRight(SidePaneView& view) {
    view.layout()->activate();
    return view.pane()->geometry().left() >= view.content()->geometry().right();
  }
  std::unique_ptr<SidePaneView> make(ChatSource source, PopupPosition position) {
    auto view = std::make_unique<SidePaneView>(
        new QLabel(QStringLiteral("chat")), new QLabel(QStringLiteral("list")), source, position);
    view->resize(600, 400);
    return view;
  }
};

TEST_F(SidePaneViewTest, ThePaneStandsAwayFromTheScreenEdge) {
  const struct {
    ChatSource source;
    PopupPosition position;
    bool onRight;
  } cases[] = {
      {ChatSource::master, PopupPosition::right, true},
      {ChatSource::master, PopupPosition::left, false},
      {ChatSource::master, PopupPosition::top, false},
      {ChatSource::master, PopupPosition::bottom, false},
      {ChatSource::standalone, PopupPosition::right, false},
      {ChatSource::popUpAnswers, PopupPosition::right, true},
  };
  UserSettings::shared().setValue(setting::sideBarVisible, true);
  for (const auto& test : cases) {
    SCOPED_TRACE(static_cast<int>(test.position));
    auto view = make(test.source, test.position);
    view->show();
    ASSERT_TRUE(view->isPresenting());
    EXPECT_EQ(view->paneOnTrailingSide(), test.onRight);
    EXPECT_EQ(paneOnRight(*view), test.onRight);
    EXPECT_EQ(view->pane()->width(), SidePaneView::kPaneWidth);
  }
}

TEST_F(SidePaneViewTest, ThePaneFollowsTheDockingEdgeWhileShown) {
  UserSettings::shared().setValue(setting::sideBarVisible, true);
  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::right);
  auto view = make(ChatSource::master, PopupPosition::right);
  view->show();
  ASSERT_TRUE(paneOnRight(*view));
  const QRect columnBefore = view->content()->geometry();

  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::left);
  EXPECT_EQ(view->position(), PopupPosition::left);
  EXPECT_FALSE(paneOnRight(*view));
  EXPECT_EQ(view->content()->width(), columnBefore.width());
}

TEST_F(SidePaneViewTest, WhetherThePaneIsShownIsRemembered) {
  for (bool stored : {false, true}) {
    SCOPED_TRACE(stored);
    UserSettings::shared().setValue(setting::sideBarVisible, stored);
    auto view = make(ChatSource::master, PopupPosition::right);
    EXPECT_FALSE(view->isPresenting()) << "read on first appearance, not before";
    view->show();
    EXPECT_EQ(view->isPresenting(), stored);
    EXPECT_EQ(view->pane()->isVisible(), stored);

    view->setPresenting(!stored);
    EXPECT_EQ(setting::sideBarVisible.read(), !stored) << "stored at once";
    EXPECT_EQ(UserSettings::shared().value(setting::sideBarVisible), !stored);
    view->hide();
    view->show();
    EXPECT_EQ(view->isPresenting(), !stored) << "a later appearance keeps what the user chose";
    EXPECT_EQ(make(ChatSource::master, PopupPosition::left)->isPresenting(), false);
  }
}

}  // namespace
}  // namespace tessra
