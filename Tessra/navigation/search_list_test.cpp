#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "Tessra/navigation/conversation_list_floating_panel_view.h"
#include "Tessra/navigation/navigation_test_support.h"
#include "Tessra/navigation/search_list_state.h"
#include "Tessra/navigation/session_topic_list_floating_panel_view.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

using navigation_test::Flag;
using navigation_test::seedStore;

TEST(SearchListStateTest, MovesWithWrapAroundAndFiltersIgnoringCase) {
  SearchListState state({"🍎 Apples", "🍐 PEARS", "🍑 peaches", "🥝 Kiwi"});
  struct Step {
    const char* action;
    QString search;
    int selected;
    std::vector<int> kept;
  };
  const std::vector<Step> steps = {
      {"up", {}, 3, {0, 1, 2, 3}},    // wraps from the first row to the last
      {"down", {}, 0, {0, 1, 2, 3}},  // and back from the last to the first
      {"down", {}, 1, {0, 1, 2, 3}},
      {"search", "PEA", 0, {1, 2}},  // upper case finds lower case; back on row 0
      {"down", {}, 1, {1, 2}},
      {"down", {}, 0, {1, 2}},
      {"search", "pears", 0, {1}},         // lower case finds upper case
      {"search", "   ", 0, {0, 1, 2, 3}},  // only spaces keep everything
      {"search", " k", 0, {3}},            // a space is matched where it stands
      {"search", "zzz", 0, {}},
      {"up", {}, -1, {}},  // an empty list has no row to select
      {"down", {}, 0, {}},
  };
  for (const Step& step : steps) {
    const std::string what = std::string(step.action) + " '" + step.search.toStdString() + "'";
    if (std::string(step.action) == "up") state.moveSelectionUp();
    if (std::string(step.action) == "down") state.moveSelectionDown();
    if (std::string(step.action) == "search") state.setSearchText(step.search);
    EXPECT_EQ(state.selectedItem(), step.selected) << what;
    EXPECT_EQ(state.filtered(), step.kept) << what;
  }
  EXPECT_EQ(state.submit(), std::nullopt);  // nothing kept: Enter only closes

  state.setSearchText("p");
  state.moveSelectionDown();
  EXPECT_EQ(state.submit(), 1);  // "🍐 PEARS": the index among all rows
  state.select(7);               // past the end
  EXPECT_EQ(state.submit(), std::nullopt);
  state.moveSelectionDown();
  EXPECT_EQ(state.selectedItem(), 0);
}

class SwitcherTest : public ::testing::Test {
 protected:
  ConversationListFloatingPanelView* open() {
    m_view = std::make_unique<ConversationListFloatingPanelView>(
        m_session, [this](const std::string& id) { m_session = id; }, m_flag.binding());
    m_view->resize(340, 400);
    return m_view.get();
  }
  std::string m_session = "c1";
  Flag m_flag;
  std::unique_ptr<ConversationListFloatingPanelView> m_view;
};

TEST_F(SwitcherTest, KeysMoveTheSelectionAndEnterSwitches) {
  seedStore({"🍎 Apples", "🍐 Pears", "🍑 Peaches"});
  QLineEdit* field = open()->searchList()->searchField();
  const SearchListState& state = m_view->searchList()->state();
  QAbstractItemModel* model = m_view->searchList()->listView()->model();
  EXPECT_EQ(model->rowCount(), 3);
  // The chat's conversation is marked, whether or not it is selected.
  EXPECT_TRUE(model->index(1, 0).data(Qt::UserRole + 2).toBool());
  EXPECT_FALSE(model->index(0, 0).data(Qt::UserRole + 2).toBool());

  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(state.selectedItem(), 2);
  QTest::keyClick(field, Qt::Key_Tab);
  EXPECT_EQ(state.selectedItem(), 0);
  QTest::keyClick(field, Qt::Key_Down);
  QTest::keyClicks(field, "PEACH");
  EXPECT_EQ(model->rowCount(), 1);
  EXPECT_EQ(state.selectedItem(), 0);  // narrowing goes back to the first match
  EXPECT_TRUE(m_flag.value);
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(m_session, "c2");
  EXPECT_FALSE(m_flag.value);
}

TEST_F(SwitcherTest, EmptyListOnlyClosesAndEscapeCloses) {
  seedStore({});
  QLineEdit* field = open()->searchList()->searchField();
  QTest::keyClick(field, Qt::Key_Up);
  EXPECT_EQ(m_view->searchList()->state().selectedItem(), -1);
  QTest::keyClick(field, Qt::Key_Return);
  EXPECT_EQ(m_session, "c1");
  EXPECT_FALSE(m_flag.value);

  seedStore({"🍎 Apples", "🍐 Pears"});
  m_flag = {};
  QTest::keyClick(open()->searchList()->searchField(), Qt::Key_Escape);
  EXPECT_FALSE(m_flag.value);
  EXPECT_EQ(m_session, "c1");
}

TEST_F(SwitcherTest, ClickOpensTheRow) {
  seedStore({"🍎 Apples", "🍐 Pears", "🍑 Peaches"});
  open()->show();
  QListView* list = m_view->searchList()->listView();
  const QRect row = list->visualRect(list->model()->index(2, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(m_session, "c2");
  EXPECT_FALSE(m_flag.value);
}

TEST_F(SwitcherTest, TabKeepsTheFocusInTheField) {
  seedStore({"🍎 Apples", "🍐 Pears"});
  open()->show();
  QApplication::setActiveWindow(m_view.get());
  QLineEdit* field = m_view->searchList()->searchField();
  field->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 5000));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(m_view->searchList()->state().selectedItem(), 1);
  EXPECT_TRUE(field->hasFocus());
}

TEST_F(SwitcherTest, TheKeyHintShowsItsKeysInBoldWithGlyphsItsFontHas) {
  seedStore({"🍎 Apples"});
  const QLabel* hint = open()->searchList()->hintLabel();
  QTextDocument shown;
  shown.setHtml(hint->text());
  QStringList bold;
  for (QTextBlock block = shown.begin(); block.isValid(); block = block.next())
    for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
      if (fragment.fragment().charFormat().fontWeight() >= QFont::Bold)
        bold << fragment.fragment().text();
  EXPECT_EQ(shown.toPlainText(), "↑ ↓ to navigate, ⏎ to select, ESC to dismiss");
  EXPECT_EQ(bold, (QStringList{"↑ ↓", "⏎", "ESC"}));
  const QFontMetrics metrics(hint->font());
  for (const char32_t character : shown.toPlainText().toUcs4())
    EXPECT_TRUE(metrics.inFontUcs4(character)) << "U+" << std::hex << unsigned(character);
}

TEST_F(SwitcherTest, ManyConversationsMakeNoMoreWidgets) {
  std::vector<std::string> few(10, "x");
  std::vector<std::string> many(10000, "x");
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = "🍎 Row " + std::to_string(i);
  for (std::size_t i = 0; i < few.size(); ++i) few[i] = "🍎 Row " + std::to_string(i);
  seedStore(few);
  const auto fewWidgets = open()->findChildren<QWidget*>().size();
  seedStore(many);
  open()->show();
  EXPECT_EQ(m_view->findChildren<QWidget*>().size(), fewWidgets);
  EXPECT_EQ(m_view->searchList()->listView()->model()->rowCount(), 10000);
}

TEST_F(SwitcherTest, RowsShowNamesThatLookLikeMarkupAsTyped) {
  seedStore({"🐱 <img src=/dev/zero>", "🍐 Pears"});
  const testing::MemoryCeiling ceiling(64 << 20);
  open()->show();
  (void)m_view->grab();
  EXPECT_EQ(m_view->searchList()->listView()->model()->index(0, 0).data().toString(),
            "🐱 <img src=/dev/zero>");
  EXPECT_EQ(testing::labelsGuessingTheirFormat(*m_view), std::vector<std::string>{});
}

TEST(TopicListTest, TopicsCountDownAndEnterScrollsToOne) {
  ChatSessionManager& store = seedStore({"🍎 Apples"});
  ChatSession session{"c0", "🍎 Apples", {}};
  for (const char* question : {"first\nline", "Second Question", "third\r\nquestion"})
    session.messages.emplace_back(std::string("m") + question[0], question, "answer", true, false);
  ChatSessionManagerTestAccess::sessions(store)["c0"] = session;
  ChatViewSignals hub;
  std::vector<MessageUpdate> updates;
  QObject::connect(&hub, &ChatViewSignals::messageUpdates,
                   [&](const MessageUpdate& update) { updates.push_back(update); });
  Flag flag;
  SessionTopicListFloatingPanelView view(hub, "c0", ChatSource::master, flag.binding());
  QAbstractItemModel* model = view.searchList()->listView()->model();
  ASSERT_EQ(model->rowCount(), 3);
  const QStringList shown = {model->index(0, 0).data().toString(),
                             model->index(1, 0).data().toString(),
                             model->index(2, 0).data().toString()};
  const QString firstQuestion = QString::fromStdString(session.messages[0].shortQuestion);
  EXPECT_EQ(shown[0],
            QString::fromStdString("3 • " + session.messages[2].shortQuestion).remove('\n'));
  EXPECT_EQ(shown[2], "1 • " + QString(firstQuestion).remove('\n'));
  EXPECT_FALSE(shown[2].contains('\n'));
  EXPECT_TRUE(shown[0].contains('\r'));

  QLineEdit* field = view.searchList()->searchField();
  QTest::keyClicks(field, "second");
  ASSERT_EQ(model->rowCount(), 1);
  EXPECT_EQ(model->index(0, 0).data().toString(),
            "2 • " + QString::fromStdString(session.messages[1].shortQuestion));
  field->setText("2");  // the number is not searched
  EXPECT_EQ(model->rowCount(), 0);
  field->setText("QUESTION");
  EXPECT_EQ(model->rowCount(), 2);
  QTest::keyClick(field, Qt::Key_Down);
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_EQ(updates.size(), 1u);
  const auto* scroll = std::get_if<MessageUpdate::ScrollToMessage>(&updates[0].value);
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(scroll->id, session.messages[1].id);
  EXPECT_FALSE(flag.value);
}

TEST(TopicListTest, UncachedSessionGivesNoTopics) {
  seedStore({"🍎 Apples"});
  ChatViewSignals hub;
  int updates = 0;
  QObject::connect(&hub, &ChatViewSignals::messageUpdates, [&] { ++updates; });
  Flag flag;
  SessionTopicListFloatingPanelView view(hub, "c0", ChatSource::master, flag.binding());
  QTest::keyClick(view.searchList()->searchField(), Qt::Key_Up);
  EXPECT_EQ(view.searchList()->state().selectedItem(), -1);
  QTest::keyClick(view.searchList()->searchField(), Qt::Key_Down);
  EXPECT_EQ(view.searchList()->state().selectedItem(), 0);
  QTest::keyClick(view.searchList()->searchField(), Qt::Key_Return);
  EXPECT_EQ(updates, 0);
  EXPECT_FALSE(flag.value);
}

}  // namespace
}  // namespace tessra
