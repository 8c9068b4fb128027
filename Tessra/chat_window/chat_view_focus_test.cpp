// The chat view's keyboard: every Ctrl shortcut and Escape, wherever the focus is inside the
// window, the message page included. Needs the keyboard focus of the display.
#include <QApplication>
#include <QTest>

#include "Tessra/chat_window/chat_view_test_fixture.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/chat_window/text_search_component.h"
#include "Tessra/prompt_input/chat_text_field.h"
#include "Tessra/prompt_input/custom_text_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/storage/chat_session_manager.h"

namespace tessra {
namespace {

using namespace chat_window_test;
using Panel = ChatView::Panel;

class ChatViewKeyboardTest : public ChatViewTest {
 protected:
  // Presses Ctrl+`key` (or `key` alone) where the keyboard focus is now.
  static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target, key, modifiers);
  }
  // Every panel closed, nothing typed, unpinned.
  static void reset(ChatView& view) {
    for (Panel panel : {Panel::conversationList, Panel::topicList, Panel::newConversation,
                        Panel::enterApiKey, Panel::conversationSettings})
      view.panel(panel)->setPresented(false);
    if (view.pinWindow()) view.togglePinWindow();
    view.setSearchVisible(false);
    view.setText(QString());
  }
};

TEST_F(ChatViewKeyboardTest, EveryShortcutWorksFromThePromptAndFromThePage) {
  ChatView& view = makeView();
  const std::string id = conversationWith({finishedMessage("Shortcuts")});
  view.controller().setSessionID(id);
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));

  const struct {
    const char* name;
    Qt::Key key;
    std::function<bool()> happened;
  } cases[] = {
      {"Ctrl+T topics", Qt::Key_T, [&] { return view.isPresenting(Panel::topicList); }},
      {"Ctrl+K switcher", Qt::Key_K, [&] { return view.isPresenting(Panel::conversationList); }},
      {"Ctrl+N new conversation", Qt::Key_N,
       [&] { return view.isPresenting(Panel::newConversation); }},
      {"Ctrl+F search", Qt::Key_F, [&] { return view.searchVisible(); }},
      {"Ctrl+R delete all", Qt::Key_R, [&] { return view.showClearMessagesConfirmation(); }},
      {"Ctrl+P pin", Qt::Key_P, [&] { return view.pinWindow() && isWindowPinned(); }},
      {"Ctrl+J context break", Qt::Key_J,
       [&] { return ChatSessionManager::shared().lastMessage(id)->endContext; }},
      {"Ctrl+, settings", Qt::Key_Comma,
       [&] {
         for (QWidget* window : QApplication::topLevelWidgets())
           if (window->objectName() == u"settings" && window->isVisible()) return true;
         return false;
       }},
  };
  for (const char* where : {"prompt", "page"}) {
    for (const auto& test : cases) {
      SCOPED_TRACE(std::string(where) + ": " + test.name);
      reset(view);
      view.handleEscape();  // a confirmation left from the previous row
      for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == u"settings") window->close();
      if (ChatSessionManager::shared().lastMessage(id)->endContext)
        view.controller().toggleEndContext();
      m_window->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
      if (std::string_view(where) == "prompt") {
        view.focusPrompt();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view.prompt()->isFocused(); }, 2000));
      } else {
        view.page()->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
              QWidget* focus = QApplication::focusWidget();
              return focus && (focus == view.page() || view.page()->isAncestorOf(focus));
            },
            2000));
      }
      press(test.key);
      EXPECT_TRUE(QTest::qWaitFor(test.happened, 2000));
    }
  }
  reset(view);
}

TEST_F(ChatViewKeyboardTest, EscapeFromTheKeyboardWalksTheChain) {
  ChatView& view = makeView();
  view.controller().setSessionID(makeConversation("⎋ Keys"));
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
  view.focusPrompt();
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.prompt()->isFocused(); }, 2000));

  press(Qt::Key_F);
  ASSERT_TRUE(view.searchVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.searchBar()->field()->hasFocus(); }, 2000));
  QTest::keyClicks(view.searchBar()->field(), QStringLiteral("needle"));
  press(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_TRUE(view.searchVisible());
  EXPECT_EQ(view.searchText(), "");
  press(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_FALSE(view.searchVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.prompt()->isFocused(); }, 2000))
      << "the prompt takes the keyboard back";
  QTest::keyClicks(view.prompt()->editor(), QStringLiteral("draft"));
  press(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_EQ(view.text(), "");
  EXPECT_EQ(m_closes, 0);
  press(Qt::Key_Escape, Qt::NoModifier);
  EXPECT_EQ(m_closes, 1);
}

}  // namespace
}  // namespace tessra
