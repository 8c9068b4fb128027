#include "Tessra/shell/floating_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <vector>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/config.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/shell_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "platform/ui/local_event_monitor.h"
#include "testing/animations_on.h"

namespace tessra {
namespace {

using testing::clickAt;
using testing::waitUntil;
using testing::xdotool;

class FloatingWindowTest : public ::testing::Test {
 protected:
  FloatingWindowTest() {
    setWindowPinned(false);
    UserSettings::shared().setValue(setting::sideBarVisible, false);
    QObject::connect(&m_window, &FloatingWindow::triggerVisibilityRequested, [this](bool visible) {
      m_triggers.push_back(visible);
      m_hiddenAtTrigger.push_back(m_window.isHidden());
    });
  }
  ~FloatingWindowTest() override {
    UserSettings::shared().setValue(setting::popupPosition, PopupPosition::right);
  }

  void show() {
    m_window.controller()->recalculateSize();
    m_window.makeKeyAndOrderFront();
  }
  bool settled() { return !m_window.controller()->isAnimating(); }
  bool shownAndFocused() {
    return settled() && m_window.isVisible() &&
           QGuiApplication::focusWindow() == m_window.windowHandle();
  }
  bool hidden() { return settled() && m_window.isHidden(); }

  FloatingWindow m_window;
  std::vector<bool> m_triggers;
  std::vector<bool> m_hiddenAtTrigger;
};

TEST_F(FloatingWindowTest, SlidesInAtEachEdgeAndTakesTheKeyboard) {
  const testing::AnimationsOn animations;
  // Each edge twice: the second slide from an edge starts where the first one did.
  std::vector<PopupPosition> positions;
  for (PopupPosition position : allPopupPositions()) positions.insert(positions.end(), 2, position);
  for (PopupPosition position : positions) {
    UserSettings::shared().setValue(setting::popupPosition, position);
    show();
    ASSERT_TRUE(m_window.controller()->isAnimating()) << title(position);
    QWidget* chat = m_window.controller()->mainView();
    const int distance = Config::kSlideDistance;
    const QPoint start = position == PopupPosition::left    ? QPoint(-distance, 0)
                         : position == PopupPosition::right ? QPoint(distance, 0)
                         : position == PopupPosition::top   ? QPoint(0, -distance)
                                                            : QPoint(0, distance);
    EXPECT_EQ(chat->geometry(), QRect(start, m_window.size())) << title(position);
    ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); })) << title(position);
    EXPECT_EQ(m_window.geometry(), Config::floatingWindowFrame(static_cast<int>(rawValue(
                                       UserSettings::shared().value(setting::floatingWindowSize)))))
        << title(position);
    EXPECT_EQ(chat->geometry(), QRect(QPoint(), m_window.size())) << "slid all the way in";
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == chat || chat->isAncestorOf(focus)) << "the chat view's shortcuts work";
    EXPECT_TRUE(m_window.isMonitoringClicks());

    m_window.close();
    EXPECT_TRUE(m_window.isVisible()) << "it slides out before it hides";
    ASSERT_TRUE(waitUntil([&] { return hidden(); })) << title(position);
    EXPECT_FALSE(m_window.isMonitoringClicks());
  }
}

TEST_F(FloatingWindowTest, AClickOnAnotherClientClosesItAndTheButtonComesBackAtOnce) {
  testing::ForeignWindow other(QRect(50, 50, 300, 200));
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));
  EXPECT_EQ(m_triggers, std::vector<bool>{false});

  ASSERT_TRUE(clickAt(other.center()));
  ASSERT_TRUE(waitUntil([&] { return m_triggers.size() == 2; }));
  EXPECT_TRUE(m_triggers[1]);
  EXPECT_FALSE(m_hiddenAtTrigger[1]) << "the button is back as the slide-out starts";
  EXPECT_TRUE(waitUntil([&] { return hidden(); }));
}

TEST_F(FloatingWindowTest, StaysOpenForClicksInsidePinnedOrInOwnWindows) {
  testing::ForeignWindow other(QRect(50, 50, 300, 200));
  QWidget ownWindow(nullptr, Qt::Tool | Qt::X11BypassWindowManagerHint);
  ownWindow.setGeometry(50, 400, 300, 200);
  ownWindow.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&ownWindow));
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));

  ASSERT_TRUE(clickAt(m_window.geometry().center()));
  ASSERT_TRUE(clickAt(ownWindow.geometry().center()));
  setWindowPinned(true);
  ASSERT_TRUE(clickAt(other.center()));
  QTest::qWait(300);  // a check that nothing happens: the panel does not start to close
  EXPECT_TRUE(m_window.isVisible());
  EXPECT_EQ(m_triggers.size(), 1u);

  setWindowPinned(false);
  ASSERT_TRUE(clickAt(other.center()));
  EXPECT_TRUE(waitUntil([&] { return hidden(); }));
}

TEST_F(FloatingWindowTest, JudgesAPressByWhereAndWhenItHappenedHoweverLateItGetsToIt) {
  testing::ForeignWindow other(QRect(50, 50, 300, 200));
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));
  // While the program is busy (here: waiting for xdotool), the user presses near the panel's left
  // edge and moves on, and the panel narrows past the point pressed before the program gets to
  // the press.
  const QRect frame = m_window.geometry();
  const QPoint pressed(frame.left() + 20, frame.center().y());
  ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(pressed.x()),
                       QString::number(pressed.y()), QStringLiteral("click"), QStringLiteral("1"),
                       QStringLiteral("sleep"), QStringLiteral("0.5"), QStringLiteral("mousemove"),
                       QString::number(other.center().x()), QString::number(other.center().y())}));
  m_window.setGeometry(frame.adjusted(100, 0, 0, 0));
  QTest::qWait(300);  // a check that nothing happens: the panel does not start to close
  EXPECT_TRUE(m_window.isPanelShown());
  EXPECT_EQ(m_triggers.size(), 1u);

  ASSERT_TRUE(clickAt(other.center()));
  EXPECT_TRUE(waitUntil([&] { return hidden(); }));
}

TEST_F(FloatingWindowTest, RequestsDuringASlideEndInTheLastOne) {
  const struct {
    const char* name;
    std::vector<bool> requests;  // true: show, false: close; all within the first slide
    bool shown;
  } cases[] = {
      {"show, close", {true, false}, false},
      {"show, close, show", {true, false, true}, true},
      {"show, show", {true, true}, true},
  };
  for (const auto& c : cases) {
    for (bool request : c.requests) {
      if (request) {
        show();
      } else {
        m_window.close();
      }
    }
    ASSERT_TRUE(waitUntil([&] {
      return settled() && m_window.isPanelShown() == c.shown && m_window.isVisible() == c.shown;
    })) << c.name;
    // A check that nothing happens: a held request would have started another slide by now.
    QTest::qWait(250);
    EXPECT_TRUE(settled()) << c.name;
    EXPECT_EQ(m_window.isVisible(), c.shown) << c.name;
    EXPECT_EQ(m_window.isMonitoringClicks(), c.shown) << c.name;
    m_window.close();
    ASSERT_TRUE(waitUntil([&] { return hidden(); })) << c.name;
  }
}

TEST_F(FloatingWindowTest, ClosedAsItShowsLeavesTheKeyboardWithTheWindowThatHadIt) {
  const testing::AnimationsOn animations;
  testing::ForeignWindow other(QRect(50, 50, 300, 200));
  other.takeKeyboard();
  // The shortcut pressed again at once, its press read along with the end of the show's delay.
  show();
  m_window.close();
  ASSERT_TRUE(waitUntil([&] { return hidden(); }));
  EXPECT_TRUE(other.hasKeyboard());
}

TEST_F(FloatingWindowTest, TheSideListMakesItWider) {
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));
  const int narrow = m_window.width();
  UserSettings::shared().setValue(setting::sideBarVisible, true);
  m_window.controller()->recalculateSize();
  EXPECT_EQ(m_window.width(), narrow + 200);
  EXPECT_EQ(m_window.geometry().right(), Config::Environment::current().mainScreenFrame->right());
}

// Keys typed while the panel is shown, with real X key events.
class KeyForwardingTest : public FloatingWindowTest {
 protected:
  void type(const QString& keys) { ASSERT_TRUE(xdotool({QStringLiteral("key"), keys})); }
  // Types one key and waits until the program has handled it. A monitor started after the
  // panel's sees a key first, within the same delivery.
  void typeAndWait(const QString& keys, Qt::Key key) {
    bool typed = false;
    platform::LocalEventMonitor seen({QEvent::KeyPress}, [&](QWindow*, QEvent* event) {
      typed = typed || static_cast<QKeyEvent*>(event)->key() == key;
      return platform::EventDisposition::keep;
    });
    seen.start();
    type(keys);
    ASSERT_TRUE(waitUntil([&] { return typed; })) << keys.toStdString();
  }
  // Types a marker and waits for it, so that everything typed before has been handled.
  void sync() {
    type(QStringLiteral("z"));
    ASSERT_TRUE(waitUntil([&] { return !m_prompt.texts.empty() && m_prompt.texts.back() == "z"; }));
    m_prompt.texts.pop_back();
  }

  testing::PromptInputRecorder m_prompt;
};

TEST_F(KeyForwardingTest, PrintableTextGoesToThePromptOtherKeysPassOn) {
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));
  for (const char* keys : {"a", "shift+b", "ctrl+a", "alt+a", "super+a", "Return", "Escape",
                           "BackSpace", "Tab", "Left", "F5", "exclam", "shift+1"})
    type(QString::fromLatin1(keys));
  sync();
  EXPECT_EQ(m_prompt.texts, (std::vector<std::string>{"a", "B", "!", "!"}));

  m_prompt.texts.clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted text"));
  type(QStringLiteral("ctrl+v"));
  sync();
  EXPECT_EQ(m_prompt.texts, std::vector<std::string>{"pasted text"});

  m_prompt.texts.clear();
  {
    PromptKeyForwardingPause pause;
    typeAndWait(QStringLiteral("q"), Qt::Key_Q);
  }
  sync();
  EXPECT_TRUE(m_prompt.texts.empty());
}

TEST_F(KeyForwardingTest, NothingFromToolWindowsDialogsOrTextFields) {
  show();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));

  QWidget tool(nullptr, Qt::Tool);
  QDialog dialog;
  QWidget normal;
  auto* edit = new QLineEdit(&normal);
  for (QWidget* window : {&tool, static_cast<QWidget*>(&dialog), &normal}) {
    window->setGeometry(100, 100, 300, 100);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    if (window == &normal) edit->setFocus();
    typeAndWait(QStringLiteral("k"), Qt::Key_K);
    window->hide();
  }
  m_window.takeInputFocus();
  ASSERT_TRUE(waitUntil([&] { return shownAndFocused(); }));
  sync();
  EXPECT_TRUE(m_prompt.texts.empty());
  EXPECT_EQ(edit->text(), "k") << "the text field got its key";
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

TEST(LanguageAlertTest, OfferedOnlyOnAnActiveWindow) {
  AppDelegate delegate;
  QSignalSpy shown(&delegate, &AppDelegate::languageAlertShown);
  ASSERT_EQ(QApplication::activeWindow(), nullptr);
  delegate.showAlertToCloseTheApp();
  EXPECT_EQ(shown.size(), 0);

  QWidget window;
  window.setGeometry(200, 200, 400, 300);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  delegate.showAlertToCloseTheApp();
  ASSERT_TRUE(waitUntil([&] { return shown.size() == 1; }));
  auto* alert = window.findChild<QMessageBox*>();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->text(), "Language Change");
  EXPECT_EQ(alert->informativeText(),
            "You have changed the app language. To apply these changes, the app must be "
            "restarted.");
  QStringList buttons;
  for (QAbstractButton* button : alert->buttons()) buttons.append(button->text());
  EXPECT_TRUE(buttons.contains("Restart Now"));
  EXPECT_TRUE(buttons.contains("Later"));
  EXPECT_EQ(alert->windowModality(), Qt::WindowModal);

  const QPointer<QMessageBox> closing(alert);
  for (QAbstractButton* button : alert->buttons())
    if (button->text() == "Later") button->click();
  EXPECT_TRUE(waitUntil([&] { return closing.isNull(); })) << "Later only closes the alert";
}

}  // namespace
}  // namespace tessra

namespace tessra {
namespace {

TEST(SideButtonClickTest, OpensThePanelAndGoesWhileItIsShown) {
  UserSettings::shared().setValue(setting::overlayIconVisible, true);
  AppDelegate delegate;
  delegate.showOverlayButton();
  QWidget* button = delegate.buttonWindow();
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(button));
  // The visible part: the 36 pixels left of the screen's right edge.
  const QRect frame = button->geometry();
  ASSERT_TRUE(testing::clickAt(QPoint(frame.x() + 18, frame.center().y())));
  ASSERT_TRUE(waitUntil([&] {
    return delegate.floatingWindow() != nullptr && delegate.floatingWindow()->isVisible() &&
           !delegate.floatingWindow()->controller()->isAnimating();
  }));
  EXPECT_EQ(delegate.buttonWindow(), nullptr) << "the button goes while the panel is shown";
  delegate.toggleFloatingWindow();
  EXPECT_TRUE(waitUntil([&] { return delegate.buttonWindow() != nullptr; }));
}

}  // namespace
}  // namespace tessra
