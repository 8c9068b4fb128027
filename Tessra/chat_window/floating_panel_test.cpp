// The floating panels of a chat window: how they open, what closes them and how the window's
// count of open panels follows. Needs the keyboard focus of the display.
#include "Tessra/chat_window/floating_panel_presenter.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/storage/notification_names.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/overlay_panel.h"

namespace tessra {
namespace {

class FloatingPanelTest : public ::testing::Test {
 protected:
  FloatingPanelPresenter* presenter(QRect rect = QRect(300, 200, 340, 400)) {
    auto* made = new FloatingPanelPresenter(
        m_hub, [this, rect] { return rect.translated(m_shift); }, false, true,
        [this](FloatingPanel& panel) {
          ++m_made;
          m_lastPanel = &panel;
          auto* field = new QLineEdit;
          field->setObjectName(QStringLiteral("content"));
          return field;
        },
        &m_owner);
    return made;
  }

  // Waits until the panel holds the keyboard.
  static bool focused(FloatingPanel* panel) {
    return QTest::qWaitFor([&] { return panel && panel->hadFocus(); }, 5000);
  }

  ChatViewSignals m_hub;
  QObject m_owner;
  QPoint m_shift;
  int m_made = 0;
  FloatingPanel* m_lastPanel = nullptr;
};

TEST_F(FloatingPanelTest, APanelOpensFreshAtTheRectangleOfThatMomentAndTakesTheKeyboard) {
  FloatingPanelPresenter* topics = presenter();
  QSignalSpy flag(topics, &FloatingPanelPresenter::isPresentedChanged);
  topics->toggle();
  ASSERT_NE(topics->panel(), nullptr);
  EXPECT_TRUE(topics->isPresented());
  EXPECT_EQ(m_hub.overlayCount(), 1);
  EXPECT_EQ(topics->panel()->geometry(), QRect(300, 200, 340, 400));
  EXPECT_TRUE(topics->panel()->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
  EXPECT_EQ(topics->panel()->cornerRadius(), FloatingPanel::kCornerRadius);
  ASSERT_TRUE(focused(topics->panel()));
  EXPECT_EQ(QApplication::activeWindow(), topics->panel());

  QPointer<FloatingPanel> first = topics->panel();
  topics->toggle();
  EXPECT_FALSE(topics->isPresented());
  EXPECT_EQ(m_hub.overlayCount(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000)) << "the panel is released";

  m_shift = QPoint(50, 20);
  topics->toggle();
  EXPECT_EQ(m_made, 2);
  EXPECT_EQ(topics->panel()->geometry(), QRect(350, 220, 340, 400));
  EXPECT_EQ(flag.count(), 3);
}

TEST_F(FloatingPanelTest, EveryWayAPanelGoesCountsItDownOnce) {
  FloatingPanelPresenter* switcher = presenter();
  FloatingPanelPresenter* topics = presenter(QRect(700, 200, 300, 300));
  QPointer<FloatingPanelPresenter> doomed = presenter(QRect(100, 100, 200, 200));
  QLineEdit elsewhere;
  elsewhere.setGeometry(1200, 700, 200, 40);

  const struct {
    const char* name;
    FloatingPanelPresenter* presenter;
    std::function<void()> close;
  } cases[] = {
      {"its presenter turns it off", switcher, [&] { switcher->setPresented(false); }},
      {"its content closes it", switcher, [&] { m_lastPanel->close(); }},
      {"the keyboard goes to another window", topics,
       [&] {
         elsewhere.show();
         elsewhere.activateWindow();
       }},
      {"the chat window is about to resize", switcher,
       [] {
         platform::NotificationCenter::defaultCenter().post(
             std::string(notification_names::kWillResizeGptWindow));
       }},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    elsewhere.hide();
    doomed->setPresented(true);
    test.presenter->setPresented(true);
    EXPECT_EQ(m_hub.overlayCount(), 2) << "two panels at once count 2";
    ASSERT_TRUE(focused(test.presenter->panel()));
    test.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !test.presenter->isPresented(); }, 5000));
    EXPECT_EQ(test.presenter->panel(), nullptr);
    EXPECT_EQ(m_hub.overlayCount(), doomed->isPresented() ? 1 : 0);
    doomed->setPresented(false);
    EXPECT_EQ(m_hub.overlayCount(), 0);
  }

  doomed->setPresented(true);
  switcher->setPresented(true);
  EXPECT_EQ(m_hub.overlayCount(), 2);
  delete doomed;
  EXPECT_EQ(m_hub.overlayCount(), 1) << "a presenter that goes takes its panel along";
  switcher->setPresented(false);
  switcher->setPresented(false);
  EXPECT_EQ(m_hub.overlayCount(), 0) << "never below 0";
}

TEST_F(FloatingPanelTest, APanelWithoutContentStaysClosed) {
  auto* empty = new FloatingPanelPresenter(
      m_hub, [] { return QRect(0, 0, 100, 100); }, false, true,
      [](FloatingPanel&) { return nullptr; }, &m_owner);
  empty->setPresented(true);
  EXPECT_FALSE(empty->isPresented());
  EXPECT_EQ(empty->panel(), nullptr);
  EXPECT_EQ(m_hub.overlayCount(), 0);
}

}  // namespace
}  // namespace tessra
