// Keys typed into the detached answer window while the floating panel is open, on a desktop with a
// window manager, the keyboard given by a click as a user gives it.
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/chat_window/answer_task.h"
#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/chat_window/detached_answer_screen.h"
#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/shell/shell_test_support.h"
#include "Tessra/storage/chat_session_manager.h"

namespace tessra {
namespace {

using chat_window_test::ChatWindowTest;

class DetachedAnswerKeysTest : public ChatWindowTest {};

TEST_F(DetachedAnswerKeysTest, ALetterAndSpaceTypedThereStayThere) {
  ChatMessage message = AnswerTask::makeQuestion("What stays where it is typed?");
  message.answer = "The keys of the window that has the keyboard.";
  message.finished = true;
  const std::string id = makeConversation("⌨️ Keys");
  ChatSessionManager::shared().upsertMessage(message, id);

  // The panel is open (pinned, so no click elsewhere closes it) and watches the keys.
  setWindowPinned(true);
  FloatingWindow panel;
  panel.controller()->recalculateSize();
  panel.makeKeyAndOrderFront();
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible(); }, 5000));
  testing::PromptInputRecorder prompt;

  FloatingPanelView* window = DetachedAnswerScreen::open(id, message.id);
  ASSERT_NE(window, nullptr);
  auto* screen = qobject_cast<DetachedAnswerScreen*>(window->content());
  ASSERT_TRUE(testing::waitForPage(*screen->page()));
  testing::evaluate(*screen->page(),
                    QStringLiteral("window.typed = [];"
                                   "document.addEventListener('keydown', e => typed.push(e.key));"
                                   "true"));
  // Below the one message: an empty part of the page.
  const QRect frame = window->geometry();
  ASSERT_TRUE(testing::clickAt(QPoint(frame.center().x(), frame.bottom() - 40)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->isActiveWindow(); }, 5000));
  ASSERT_TRUE(panel.isVisible());

  ASSERT_TRUE(testing::xdotool({QStringLiteral("key"), QStringLiteral("a")}));
  ASSERT_TRUE(testing::xdotool({QStringLiteral("key"), QStringLiteral("space")}));
  QVariant typed;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        typed = testing::evaluate(*screen->page(), QStringLiteral("typed.join('|')"));
        return typed.toString() == QStringLiteral("a| ");
      },
      5000))
      << "the page got: \"" << typed.toString().toStdString() << "\"";
  EXPECT_TRUE(prompt.texts.empty()) << "the prompt behind got: " << prompt.texts.front();

  window->close();
  setWindowPinned(false);
}

}  // namespace
}  // namespace tessra
