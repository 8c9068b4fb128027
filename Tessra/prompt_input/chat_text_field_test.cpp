#include "Tessra/prompt_input/chat_text_field.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/prompt_input/borderless_window.h"
#include "Tessra/prompt_input/chat_text_field_completion_view.h"
#include "Tessra/prompt_input/custom_text_view.h"
#include "Tessra/storage/notification_names.h"
#include "platform/foundation/notification_center.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

// The slash commands the prompt offers, by their place in its list.
enum Command { openConversation, listTopics, pinWindow, clearContext, settings, deleteAllMessages };

// A window holding the prompt box, offering the chat's six slash commands, and a second field
// for the focus to move to.
class Prompt {
 public:
  Prompt() : field(new ChatTextField), other(new QLineEdit) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(other);
    layout->addStretch();
    layout->addWidget(field);
    window.resize(480, 400);
    window.move(600, 300);
    using Chat = LocalizedText::Chat;
    for (const QString& title :
         {Chat::openConversationCommand(), Chat::listTopicsCommand(), Chat::pinWindowCommand(),
          Chat::clearContextCommand(), Chat::settingsCommand(), Chat::deleteAllMessagesCommand()})
      commands.append(new QAction(title, &window));
    field->setCommands(commands);
    QObject::connect(field, &ChatTextField::sendRequested, [this] { ++sends; });
    QObject::connect(field, &ChatTextField::commandChosen,
                     [this](QAction* command) { executed.append(command); });
    QObject::connect(field, &ChatTextField::attachmentPasted,
                     [this](const ChatAttachment& attachment) { pasted.push_back(attachment); });
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    field->focusInput();
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->isFocused(); }, 5000));
  }

  CustomTextView* editor() const { return field->editor(); }
  QList<QAction*> offered(const std::vector<Command>& rows) const {
    QList<QAction*> actions;
    for (Command row : rows) actions.append(commands[row]);
    return actions;
  }
  void type(const QString& text) { QTest::keyClicks(editor(), text); }
  void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(editor(), key, modifiers);
  }
  // The send runs after the key event is done.
  void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }

  QWidget window;
  ChatTextField* field;
  QLineEdit* other;
  QList<QAction*> commands;
  int sends = 0;
  QList<QAction*> executed;
  std::vector<ChatAttachment> pasted;
};

TEST(PromptBox, EnterRuleSendsOncePerPressOrBreaksTheLine) {
  struct Case {
    std::optional<bool> enterToSend;
    bool shift;
    bool sends;
  };
  for (const Case& c :
       {Case{std::nullopt, false, false}, Case{std::nullopt, true, false}, Case{true, false, true},
        Case{true, true, false}, Case{false, false, false}, Case{false, true, true}}) {
    Prompt prompt;
    prompt.field->setEnterToSend(c.enterToSend);
    prompt.type("one");
    const Qt::KeyboardModifiers modifiers = c.shift ? Qt::ShiftModifier : Qt::NoModifier;
    prompt.press(Qt::Key_Return, modifiers);
    prompt.press(Qt::Key_Enter, modifiers);
    prompt.settle();
    const std::string label = std::string("enterToSend ") +
                              (c.enterToSend ? (*c.enterToSend ? "true" : "false") : "none") +
                              (c.shift ? " with Shift" : "");
    EXPECT_EQ(prompt.sends, c.sends ? 2 : 0) << label;
    EXPECT_EQ(prompt.field->text(), c.sends ? "one" : "one\n\n") << label;
  }
}

TEST(PromptBox, GrowsToElevenLinesThenScrollsAndShrinksAfterASend) {
  Prompt prompt;
  prompt.field->setEnterToSend(true);
  CustomTextView* editor = prompt.editor();
  EXPECT_EQ(editor->height(), 19);
  int last = editor->height();
  for (int line = 0; line < 14; ++line) {
    prompt.type("line");
    prompt.press(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_GE(editor->height(), last);
    last = editor->height();
  }
  EXPECT_EQ(editor->height(), 169);
  EXPECT_GT(editor->verticalScrollBar()->maximum(), 0) << "the rest scrolls";
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return prompt.field->height() == 169 + 2 * ChatTextField::kVerticalPadding; }, 2000))
      << "the box grows with it";

  prompt.press(Qt::Key_Return);
  prompt.settle();
  EXPECT_EQ(prompt.sends, 1);
  EXPECT_EQ(editor->height(), 19) << "back to one line after the send";
}

TEST(PromptBox, TabMovesTheFocusAndTypesNothing) {
  Prompt prompt;
  prompt.type("a");
  prompt.press(Qt::Key_Tab);
  EXPECT_EQ(prompt.field->text(), "a");
  EXPECT_TRUE(QTest::qWaitFor([&] { return prompt.other->hasFocus(); }, 2000));
  prompt.field->focusInput();
  QTest::keyClick(prompt.editor(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(prompt.field->text(), "a");
}

TEST(PromptBox, ReturnCommitsAComposingInputMethodWithoutSending) {
  Prompt prompt;
  prompt.field->setEnterToSend(true);
  QInputMethodEvent composing(QString::fromUtf8("にほん"), {});
  QApplication::sendEvent(prompt.editor(), &composing);
  prompt.press(Qt::Key_Return);
  prompt.settle();
  EXPECT_EQ(prompt.sends, 0);
  EXPECT_EQ(prompt.field->text(), QString::fromUtf8("にほん"));
  prompt.press(Qt::Key_Return);
  prompt.settle();
  EXPECT_EQ(prompt.sends, 1) << "the next Return sends";
}

TEST(PromptBox, SlashShowsTheCommandListAndReturnRunsTheChosenCommand) {
  struct Case {
    const char* typed;
    std::vector<Qt::Key> moves;
    std::vector<Command> rows;
    std::optional<Command> chosen;
  };
  const std::vector<Command> all = {openConversation, listTopics, pinWindow,
                                    clearContext,     settings,   deleteAllMessages};
  const std::vector<Case> cases = {
      {"/", {}, all, openConversation},
      {"/pin", {}, {pinWindow}, pinWindow},
      {"/PIN", {}, {pinWindow}, pinWindow},
      {"/clear ", {}, {clearContext}, clearContext},
      {"/context ", {}, {}, std::nullopt},
      {"/pi/n", {}, {pinWindow}, pinWindow},
      {"//", {}, all, openConversation},
      {"/   ", {}, all, openConversation},
      {"/", {Qt::Key_Up}, all, deleteAllMessages},
      {"/", {Qt::Key_Up, Qt::Key_Down}, all, openConversation},
      {"/", {Qt::Key_Down, Qt::Key_Down}, all, pinWindow},
      {"/xyz", {Qt::Key_Down}, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    Prompt prompt;
    prompt.field->setEnterToSend(true);
    prompt.type(c.typed);
    const int caret = prompt.editor()->textCursor().position();
    for (Qt::Key move : c.moves) prompt.press(move);
    EXPECT_EQ(prompt.editor()->textCursor().position(), caret) << c.typed << " caret stays";
    EXPECT_TRUE(prompt.field->isSuggestionsVisible()) << c.typed;
    EXPECT_TRUE(prompt.field->completionWindow()->isVisible()) << c.typed;
    EXPECT_EQ(prompt.field->completionView()->filteredCommands(), prompt.offered(c.rows))
        << c.typed;
    QAction* const chosen = c.chosen ? prompt.commands[*c.chosen] : nullptr;
    EXPECT_EQ(prompt.field->commandToBeExecuted(), chosen) << c.typed;
    EXPECT_EQ(prompt.editor()->height(), 19) << c.typed;

    prompt.press(Qt::Key_Return);
    prompt.settle();
    EXPECT_EQ(prompt.sends, 0) << c.typed;
    EXPECT_EQ(prompt.executed, chosen ? QList<QAction*>{chosen} : QList<QAction*>{}) << c.typed;
    EXPECT_EQ(prompt.field->text(), "") << c.typed;
    EXPECT_FALSE(prompt.field->isSuggestionsVisible()) << c.typed;
    EXPECT_FALSE(prompt.field->commandToBeExecuted()) << c.typed;
  }
}

TEST(PromptBox, CommandListStandsOnTheBoxAsWideAsIt) {
  Prompt prompt;
  prompt.type("/");
  BorderlessWindow* list = prompt.field->completionWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
  const QRect box(prompt.field->mapToGlobal(QPoint(0, 0)), prompt.field->size());
  EXPECT_EQ(list->width(), box.width());
  EXPECT_EQ(list->height(), 216);
  EXPECT_EQ(list->geometry().bottom() + 1 + ChatTextField::kListGap, box.top());
  EXPECT_EQ(list->geometry().center().x(), box.center().x());
  EXPECT_TRUE(prompt.field->isFocused()) << "the list never takes the focus";
  prompt.window.move(prompt.window.pos() + QPoint(40, 30));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return list->geometry().bottom() + 1 + ChatTextField::kListGap ==
               prompt.field->mapToGlobal(QPoint(0, 0)).y();
      },
      2000))
      << "follows the window";
}

TEST(PromptBox, HidingTheWindowDropsAHalfTypedCommandOnly) {
  auto& center = platform::NotificationCenter::defaultCenter();
  const std::string willHide(notification_names::kWillHideGptWindow);
  Prompt prompt;
  prompt.type("/pin");
  center.post(willHide);
  EXPECT_EQ(prompt.field->text(), "");
  EXPECT_FALSE(prompt.field->completionWindow()->isShown());
  prompt.type("plain prose");
  center.post(willHide);
  EXPECT_EQ(prompt.field->text(), "plain prose");
}

TEST(PromptBox, ForwardedTextIsAppendedAtTheEndAndTakesTheFocus) {
  Prompt prompt;
  prompt.type("hello");
  prompt.editor()->moveCursor(QTextCursor::Start);
  prompt.other->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return prompt.other->hasFocus(); }, 2000));
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kFocusOnPromptInput),
      {{std::string(notification_names::kInputedTextKey), " world"}});
  EXPECT_EQ(prompt.field->text(), "hello world");
  EXPECT_TRUE(QTest::qWaitFor([&] { return prompt.field->isFocused(); }, 2000));

  const ChatAttachment attachment{nullptr, "forwarded", "Clipboard"};
  prompt.other->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return prompt.other->hasFocus(); }, 2000));
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kFocusOnPromptInput), nlohmann::json::object(), attachment);
  ASSERT_EQ(prompt.pasted.size(), 1u);
  EXPECT_EQ(prompt.pasted.front(), attachment);
  EXPECT_TRUE(prompt.other->hasFocus()) << "an attachment does not move the focus";
}

TEST(PromptBox, PasteAsksTheClipboardReaderFirst) {
  Prompt prompt;
  auto* image = new QMimeData;
  QImage red(4, 4, QImage::Format_RGB32);
  red.fill(Qt::red);
  image->setImageData(red);
  QApplication::clipboard()->setMimeData(image);
  prompt.press(Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(prompt.pasted.size(), 1u);
  EXPECT_EQ(prompt.pasted.front().fileName, "Clipboard");
  EXPECT_EQ(prompt.field->text(), "");

  QApplication::clipboard()->setText("short text");
  prompt.editor()->paste();
  EXPECT_EQ(prompt.field->text(), "short text");
  EXPECT_EQ(prompt.pasted.size(), 1u);
}

// 50 MB on one line, pasted into the prompt or with the middle button: the prompt would lay the
// line out whole (minutes at full CPU and gigabytes); it becomes the long-text attachment, and the
// prompt keeps what was typed.
TEST(PromptBox, ALongPasteOnOneLineBecomesTheTextAttachment) {
  Prompt prompt;
  prompt.type("see:");
  const QString line(50 << 20, u'x');
  auto* copied = new QMimeData;
  copied->setText(line);
  QApplication::clipboard()->setMimeData(copied);
  if (QApplication::clipboard()->supportsSelection())
    QApplication::clipboard()->setText(line, QClipboard::Selection);
  const testing::MemoryCeiling ceiling(768 << 20);

  prompt.press(Qt::Key_V, Qt::ControlModifier);
  if (QApplication::clipboard()->supportsSelection())
    QTest::mouseClick(prompt.editor()->viewport(), Qt::MiddleButton);
  QCoreApplication::processEvents();

  const std::size_t pastes = QApplication::clipboard()->supportsSelection() ? 2 : 1;
  ASSERT_EQ(prompt.pasted.size(), pastes);
  for (const ChatAttachment& attachment : prompt.pasted) {
    EXPECT_EQ(attachment.fileName, kLongTextFileName);
    EXPECT_EQ(attachment.text.value_or("").size(), std::size_t{50} << 20);
  }
  EXPECT_EQ(prompt.field->text(), "see:");
  EXPECT_LT(ceiling.growth(), 768u << 20);
}

TEST(PromptBox, OutsideTextChangeKeepsTheCaretInsideTheText) {
  Prompt prompt;
  prompt.type("a long prompt text");
  prompt.editor()->selectAll();
  prompt.field->setText("ab");
  EXPECT_EQ(prompt.editor()->textCursor().position(), 2);
  EXPECT_EQ(prompt.editor()->textCursor().anchor(), 0);
  prompt.type("c");
  EXPECT_EQ(prompt.field->text(), "c");
}

}  // namespace
}  // namespace tessra
