#include "Tessra/navigation/new_conversation_floating_panel_view.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <vector>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/navigation/conversation_side_pane_view.h"
#include "Tessra/navigation/emoji_picker_view.h"
#include "Tessra/navigation/navigation_test_support.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "files/json_file.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

using navigation_test::Flag;
using navigation_test::seedStore;

class NewConversationTest : public ::testing::Test {
 protected:
  NewConversationTest() {
    m_listToken = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(notification_names::kConversationListDidChanged),
        [this](const platform::Notification&) { ++m_listPosts; });
    m_settingToken = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(notification_names::kConversationSettingDidChanged),
        [this](const platform::Notification&) { ++m_settingPosts; });
  }

  NewConversationFloatingPanelView* open(std::optional<Conversation> editing = std::nullopt) {
    m_cleared = false;
    m_flag = {};
    m_view = std::make_unique<NewConversationFloatingPanelView>(
        [this](const std::string& id) { m_session = id; }, m_flag.binding(), std::move(editing),
        [this] { m_cleared = true; });
    return m_view.get();
  }

  std::vector<std::string> namesOnDisk() {
    std::vector<std::string> names;
    for (const Conversation& c :
         files::JsonFile<ConversationList>(Paths::conversationsFile()).read().conversations)
      names.push_back(c.name);
    return names;
  }

  std::string m_session = "c0";
  Flag m_flag;
  bool m_cleared = false;
  int m_listPosts = 0;
  int m_settingPosts = 0;
  platform::NotificationCenter::ObserverToken m_listToken;
  platform::NotificationCenter::ObserverToken m_settingToken;
  std::unique_ptr<NewConversationFloatingPanelView> m_view;
};

TEST_F(NewConversationTest, TitlesAreCheckedAndStoredAsTyped) {
  const QString tooShort = LocalizedText::Conversation::nameTooShortError();
  const QString tooLong = LocalizedText::Conversation::nameTooLongError();
  const QString exists = LocalizedText::Conversation::alreadyExistsError();
  struct Case {
    QString emoji;
    QString title;
    QString error;  // empty: stored
  };
  const QString thirty(30, QLatin1Char('a'));
  const std::vector<Case> cases = {
      {"🍎", "ab", tooShort},
      {"🍎", "   ab   ", tooShort},  // trimmed first
      {"🍎", "abc", {}},
      {"🍎", "  abd ", {}},  // spaces kept in the stored name
      {"🍎", thirty, {}},
      {"🍎", thirty + "b", tooLong},
      {"🍎", " " + QString(29, QLatin1Char('c')) + " ", tooLong},  // counted as typed
      {"🇫🇷", "e\u0301e\u0301e\u0301", {}},  // three characters of two code points
      {"🍎", QString("e\u0301").repeated(30), {}},
      {"👩‍💻", "Code", {}},  // one ZWJ emoji
      {"🍎", "abc", exists},         // the same full name
      {"🍐", "abc", {}},             // another emoji
  };
  seedStore({"🌱 Seed"});
  for (const Case& c : cases) {
    const std::string what = (c.emoji + " '" + c.title + "'").toStdString();
    open()->emojiPicker()->setEmoji(c.emoji);
    const int postsBefore = m_listPosts;
    m_view->titleField()->setText(c.title);
    QTest::keyClick(m_view->titleField(), Qt::Key_Return);
    EXPECT_EQ(m_view->validationError(), c.error) << what;
    const std::string full = (c.emoji + " " + c.title).toStdString();
    const auto names = namesOnDisk();
    if (c.error.isEmpty()) {
      EXPECT_EQ(names.back(), full) << what;
      EXPECT_FALSE(m_flag.value) << what;
      EXPECT_EQ(m_listPosts, postsBefore + 1) << what;
      EXPECT_EQ(m_session,
                ChatSessionManager::shared().conversationList()->conversations.back().id);
    } else {
      EXPECT_TRUE(m_flag.value) << what;
      EXPECT_EQ(m_listPosts, postsBefore) << what;
      // Typing clears the message.
      QTest::keyClicks(m_view->titleField(), "x");
      EXPECT_TRUE(m_view->validationError().isEmpty()) << what;
    }
  }
  EXPECT_EQ(m_settingPosts, 0);
}

TEST_F(NewConversationTest, RenameOpensWithTheNameSplitAndAcceptsATakenName) {
  seedStore({"🍎 Apples", "🍐 Pears", "🍑"});
  const auto conversations = ChatSessionManager::shared().conversationList()->conversations;
  struct Case {
    std::size_t index;
    QString emoji;
    QString title;
  };
  for (const Case& c : std::vector<Case>{{0, "🍎", "Apples"}, {2, "🍑", ""}}) {
    open(conversations[c.index]);
    EXPECT_TRUE(m_view->isEditing());
    EXPECT_TRUE(m_cleared);
    EXPECT_EQ(m_view->emojiPicker()->emoji(), c.emoji);
    EXPECT_EQ(m_view->titleField()->text(), c.title);
    EXPECT_EQ(m_view->heading()->text(), LocalizedText::Conversation::editTitle(
                                             QString::fromStdString(conversations[c.index].name)));
  }
  open(conversations[0]);
  m_view->titleField()->setText("Pears");
  m_view->emojiPicker()->setEmoji("🍐");
  QTest::keyClick(m_view->titleField(), Qt::Key_Return);
  EXPECT_TRUE(m_view->validationError().isEmpty());
  EXPECT_EQ(namesOnDisk()[0], "🍐 Pears");
  EXPECT_EQ(m_settingPosts, 1);
  EXPECT_EQ(m_session, "c0");  // a rename stays where the chat is
  EXPECT_FALSE(m_flag.value);

  open();
  EXPECT_FALSE(m_view->isEditing());
  EXPECT_EQ(m_view->heading()->text(), LocalizedText::Conversation::newTitle());
  EXPECT_TRUE(EmojiTextField::pool().contains(m_view->emoji()));
}

TEST_F(NewConversationTest, ANameThatLooksLikeMarkupIsShownAsTyped) {
  const std::string name = "🐱 <img src=/dev/zero>";
  seedStore({name});
  // A heading that took the name for markup would read "/dev/zero" without end.
  const testing::MemoryCeiling ceiling(64 << 20);
  open(ChatSessionManager::shared().conversationList()->conversations[0])->show();
  (void)m_view->grab();
  EXPECT_EQ(m_view->heading()->text(),
            LocalizedText::Conversation::editTitle(QString::fromStdString(name)));
  EXPECT_EQ(m_view->titleField()->text(), "<img src=/dev/zero>");
  m_view->titleField()->clear();
  QTest::keyClick(m_view->titleField(), Qt::Key_Return);
  (void)m_view->grab();
  EXPECT_EQ(testing::labelsGuessingTheirFormat(*m_view), std::vector<std::string>{});
}

TEST_F(NewConversationTest, ReturnOnCancelStoresNothingAndTwoReturnsCreateOne) {
  seedStore({"🌱 Seed"});
  open()->show();
  QApplication::setActiveWindow(m_view.get());
  m_view->titleField()->setText("Twice");
  m_view->cancelButton()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->cancelButton()->hasFocus(); }, 5000));
  QTest::keyClick(m_view->cancelButton(), Qt::Key_Return);
  EXPECT_FALSE(m_flag.value);
  EXPECT_EQ(namesOnDisk().size(), 1u);

  open()->show();
  QApplication::setActiveWindow(m_view.get());
  m_view->titleField()->setText("Twice");
  m_view->confirmButton()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->confirmButton()->hasFocus(); }, 5000));
  QTest::keyClick(m_view->confirmButton(), Qt::Key_Return);
  QTest::keyClick(m_view->confirmButton(), Qt::Key_Return);
  EXPECT_EQ(namesOnDisk().size(), 2u);
  EXPECT_TRUE(m_view->validationError().isEmpty());
}

TEST_F(NewConversationTest, CreateIsSelectedByTheSideList) {
  seedStore({"🍎 Apples"}, "c0");
  ChatViewSignals hub;
  ConversationSidePaneView side(hub);
  // The chat applies what the panel writes and announces it, as the chat window does.
  NewConversationFloatingPanelView panel(
      [&](const std::string& id) { emit hub.setCurrentSessionID(id); }, m_flag.binding(),
      std::nullopt, {});
  panel.titleField()->setText("Fresh");
  panel.save();
  ASSERT_EQ(side.conversations().size(), 2u);
  EXPECT_EQ(side.sessionID(), side.conversations()[1].id);
  EXPECT_EQ(side.listView()->selectionModel()->selectedRows().value(0).row(), 1);
}

TEST_F(NewConversationTest, FailedWriteShowsTheMessageAndStaysOpen) {
  seedStore({"🍎 Apples"});
  const std::filesystem::path list(Paths::conversationsFile().rawValue());
  std::filesystem::remove(list);
  std::filesystem::create_directory(list);  // the list file cannot be replaced
  open()->titleField()->setText("Lost");
  m_view->save();
  EXPECT_EQ(m_view->validationError(), LocalizedText::Conversation::failedToUpdateError());
  EXPECT_TRUE(m_flag.value);
  EXPECT_EQ(m_listPosts, 0);
  EXPECT_EQ(ChatSessionManager::shared().conversationList()->conversations.size(), 1u);
  std::filesystem::remove(list);
}

TEST_F(NewConversationTest, TheKeyboardStartsInTheTitleField) {
  seedStore({"🍎 Apples"});
  open()->show();
  QApplication::setActiveWindow(m_view.get());
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; }, 5000));
  EXPECT_EQ(QApplication::focusWidget(), m_view->titleField());
  QTest::keyClicks(QApplication::focusWidget(), "Groceries list");
  EXPECT_EQ(m_view->titleField()->text(), "Groceries list") << "a space types a space";
}

TEST_F(NewConversationTest, PaletteWritesTheChosenEmoji) {
  seedStore({"🍎 Apples"});
  open()->show();
  QApplication::setActiveWindow(m_view.get());
  EmojiTextField* field = m_view->emojiPicker()->field();
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Return);
  EmojiPalette* palette = m_view->emojiPicker()->openPalette();
  ASSERT_NE(palette, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(palette));
  // The first cell's smiley has only a monochrome outline in the desktop's sans-serif font.
  EXPECT_GT(testing::colorfulPixels(palette->viewport()->grab(palette->cellRect(0)).toImage()), 20)
      << "the grid's emoji are in colour";
  QTest::keyClick(palette, Qt::Key_Right);
  QTest::keyClick(palette, Qt::Key_Down);
  const QString chosen = palette->emoji()[EmojiPalette::kColumns + 1];
  QTest::keyClick(palette, Qt::Key_Return);
  EXPECT_EQ(field->text(), chosen);
  EXPECT_EQ(m_view->emoji(), chosen);

  QTest::keyClick(field, Qt::Key_Return);
  palette = m_view->emojiPicker()->openPalette();
  ASSERT_NE(palette, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(palette));
  QTest::mouseClick(palette->viewport(), Qt::LeftButton, {}, palette->cellRect(3).center());
  EXPECT_EQ(m_view->emoji(), EmojiTextField::pool()[3]);
  QTest::keyClick(field, Qt::Key_Return);
  palette = m_view->emojiPicker()->openPalette();
  ASSERT_NE(palette, nullptr);
  QTest::keyClick(palette, Qt::Key_Escape);
  EXPECT_EQ(m_view->emoji(), EmojiTextField::pool()[3]);

  m_view->emojiPicker()->randomButton()->click();
  EXPECT_TRUE(EmojiTextField::pool().contains(m_view->emoji()));
  EXPECT_EQ(m_view->emoji(), field->text());
}

TEST(EmojiPickerViewTest, TheRingIsEighteenWholeDashes) {
  EmojiPickerView picker(QStringLiteral("🐞"));
  const QImage badge = picker.field()->parentWidget()->grab().toImage();
  const QPointF centre(badge.width() / 2.0, badge.height() / 2.0);
  const QColor ring("#1ABC9C");
  const QColor background = badge.pixelColor(0, 0);
  const auto distance = [](const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
  };
  // Once round the ring's middle, marking where its colour is drawn across the stroke.
  constexpr int kSteps = 3600;
  std::vector<bool> drawn(kSteps);
  for (int step = 0; step < kSteps; ++step) {
    const double angle = 2 * std::numbers::pi * step / kSteps;
    for (const double radius : {EmojiPickerView::kRadius - 0.5, EmojiPickerView::kRadius,
                                EmojiPickerView::kRadius + 0.5}) {
      const QColor color =
          badge.pixelColor((centre + radius * QPointF(std::cos(angle), std::sin(angle))).toPoint());
      drawn[step] = drawn[step] || distance(color, ring) < distance(color, background);
    }
  }
  int dashes = 0;
  for (int step = 0; step < kSteps; ++step)
    dashes += drawn[step] && !drawn[(step + kSteps - 1) % kSteps];
  EXPECT_EQ(dashes, EmojiPickerView::kDotCount);
  // No dash runs into the next where the pattern closes: every gap shows.
  const auto longest = [&] {
    int run = 0;
    int best = 0;
    for (int step = 0; step < 2 * kSteps; ++step) {
      run = drawn[step % kSteps] ? run + 1 : 0;
      best = std::max(best, run);
    }
    return best;
  }();
  EXPECT_LT(longest, kSteps / EmojiPickerView::kDotCount);
}

}  // namespace
}  // namespace tessra
