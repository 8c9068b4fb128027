#include "Tessra/navigation/conversation_side_pane_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/navigation/navigation_test_support.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/memory_ceiling.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using navigation_test::idsOnDisk;
using navigation_test::seedStore;
using navigation_test::storedIds;

class SidePaneTest : public ::testing::Test {
 protected:
  SidePaneTest() {
    QObject::connect(&m_hub, &ChatViewSignals::setCurrentSessionID,
                     [this](const std::string& id) { m_sent.push_back(id); });
    m_token = platform::NotificationCenter::defaultCenter().addObserver(
        std::string(notification_names::kConversationListDidChanged),
        [this](const platform::Notification&) { ++m_listPosts; });
  }

  ConversationSidePaneView* make() {
    m_view = std::make_unique<ConversationSidePaneView>(m_hub);
    m_view->resize(200, 400);
    return m_view.get();
  }
  int selectedRow() const {
    return m_view->listView()->selectionModel()->selectedRows().value(0, {}).row();
  }
  QAbstractButton* sheetButton(const QString& text) const {
    for (QAbstractButton* button : m_view->deletionSheet()->buttons())
      if (button->text() == text) return button;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
  }
  void click(int row) {
    QListView* list = m_view->listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
  }

  ChatViewSignals m_hub;
  std::vector<std::string> m_sent;
  int m_listPosts = 0;
  platform::NotificationCenter::ObserverToken m_token;
  std::unique_ptr<ConversationSidePaneView> m_view;
};

TEST_F(SidePaneTest, CreationSelectsTheLatestOrTheFirstRow) {
  struct Case {
    std::vector<std::string> names;
    std::optional<std::string> latest;
    int selected;
    std::vector<std::string> sent;
  };
  const std::vector<Case> cases = {
      {{"🍎 A", "🍐 B", "🍑 C"}, "c2", 2, {}},       // the latest is shown, nothing sent
      {{"🍎 A", "🍐 B"}, "gone", 0, {"c0"}},        // an unknown latest: row 0, sent once
      {{"🍎 A", "🍐 B"}, std::nullopt, 0, {"c0"}},  // none at all: the same
      {{}, "c0", -1, {}},                         // no rows: nothing selected or sent
  };
  for (const Case& c : cases) {
    seedStore(c.names, c.latest);
    m_sent.clear();
    make();
    EXPECT_EQ(selectedRow(), c.selected) << c.names.size();
    EXPECT_EQ(m_sent, c.sent) << c.names.size();
  }
}

TEST_F(SidePaneTest, ClicksSendOnceAndTheChatIsFollowedWithoutEcho) {
  seedStore({"🍎 A", "🍐 B", "🍑 C"}, "c0");
  make()->show();
  click(0);
  EXPECT_TRUE(m_sent.empty());  // the current row
  click(2);
  EXPECT_EQ(m_sent, std::vector<std::string>{"c2"});

  m_sent.clear();
  emit m_hub.setCurrentSessionID("c1");  // the chat switched
  EXPECT_EQ(selectedRow(), 1);
  EXPECT_EQ(m_sent, std::vector<std::string>{"c1"});  // only the chat's own value

  // An announcement that changes nothing leaves the rows alone, and the next click switches.
  auto& store = ChatSessionManager::shared();
  QSignalSpy changes(m_view->listView()->model(), &QAbstractItemModel::dataChanged);
  emit store.conversationsChanged();
  EXPECT_EQ(changes.count(), 0);
  m_sent.clear();
  click(0);
  EXPECT_EQ(m_sent, std::vector<std::string>{"c0"});

  // A rename elsewhere changes its row alone: the current row stays selected and swallows no
  // later click.
  store.renameConversation("c2", "🍑 Renamed");
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(m_view->listView()->model()->index(2, 0).data().toString(), "🍑 Renamed");
  EXPECT_EQ(selectedRow(), 0);
  m_sent.clear();
  click(1);
  EXPECT_EQ(m_sent, std::vector<std::string>{"c1"});

  // Ctrl+click cannot leave the list without a selection.
  QListView* list = m_view->listView();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    list->visualRect(list->model()->index(1, 0)).center());
  EXPECT_EQ(selectedRow(), 1);
}

TEST_F(SidePaneTest, ARightClickOnlyOpensTheMenu) {
  seedStore({"🍎 A", "🍐 B"}, "c0");
  make()->show();
  QListView* list = m_view->listView();
  const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
  // What the desktop sends for a right click: the press, the menu request, the release.
  QTest::mousePress(list->viewport(), Qt::RightButton, {}, second);
  QContextMenuEvent request(QContextMenuEvent::Mouse, second,
                            list->viewport()->mapToGlobal(second));
  QApplication::sendEvent(list->viewport(), &request);
  QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, second);
  ASSERT_NE(m_view->contextMenu(), nullptr);
  EXPECT_EQ(m_view->contextMenu()->title(), "🍐 B");
  EXPECT_EQ(selectedRow(), 0);
  EXPECT_TRUE(m_sent.empty()) << "the chat stays where it was";
}

TEST_F(SidePaneTest, DropsLandInTheGapAndAreStored) {
  struct Case {
    std::string dragged;
    int gap;
    std::vector<std::string> order;
  };
  const std::vector<Case> cases = {
      {"c0", 2, {"c1", "c0", "c2", "c3"}},
      {"c3", 0, {"c3", "c0", "c1", "c2"}},
      {"c0", 4, {"c1", "c2", "c3", "c0"}},
      {"c1", 1, {"c0", "c1", "c2", "c3"}},  // its own gap, above itself
      {"c1", 2, {"c0", "c1", "c2", "c3"}},  // and just below itself
  };
  for (const Case& c : cases) {
    seedStore({"🍎 A", "🍐 B", "🍑 C", "🥝 D"}, "c0");
    make();
    std::filesystem::remove(std::filesystem::path(Paths::conversationsFile().rawValue()));
    const int posts = m_listPosts;
    QMimeData data;
    data.setText(QString::fromStdString(c.dragged));
    // The same entry the list view uses for a drop.
    EXPECT_TRUE(m_view->listView()->model()->dropMimeData(&data, Qt::MoveAction, c.gap, 0, {}));
    EXPECT_EQ(storedIds(), c.order) << c.dragged << c.gap;
    EXPECT_EQ(idsOnDisk(), c.order) << c.dragged << c.gap;  // stored even when unchanged
    EXPECT_EQ(m_listPosts, posts + 1);
    EXPECT_EQ(m_view->sessionID(), "c0");
    EXPECT_EQ(m_view->conversations()[static_cast<std::size_t>(selectedRow())].id, "c0");
  }

  // A drop on a row goes into the gap above it.
  QMimeData onRow;
  onRow.setText("c3");
  QAbstractItemModel* model = m_view->listView()->model();
  EXPECT_TRUE(model->dropMimeData(&onRow, Qt::MoveAction, -1, -1, model->index(1, 0)));
  EXPECT_EQ(storedIds(), (std::vector<std::string>{"c0", "c3", "c1", "c2"}));

  // Text from elsewhere writes nothing.
  std::filesystem::remove(std::filesystem::path(Paths::conversationsFile().rawValue()));
  const int posts = m_listPosts;
  QMimeData foreign;
  foreign.setText("hello from another program");
  EXPECT_FALSE(model->dropMimeData(&foreign, Qt::MoveAction, 0, 0, {}));
  EXPECT_FALSE(std::filesystem::exists(Paths::conversationsFile().rawValue()));
  EXPECT_EQ(m_listPosts, posts);
  EXPECT_EQ(model->mimeData({model->index(2, 0)})->text(), "c1");
}

TEST_F(SidePaneTest, MenuRenamesAndDeletesAfterTheQuestion) {
  // Under a dark icon theme, the menu's symbols stay light.
  testing::TempDir icons;
  testing::useBlackIconTheme(icons.path());
  seedStore({"🍎 A & B"}, "c0");
  make()->show();
  QListView* list = m_view->listView();
  const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
  m_view->openContextMenu(first);
  ASSERT_NE(m_view->contextMenu(), nullptr);
  QList<QAction*> items = m_view->contextMenu()->actions();
  ASSERT_EQ(items.size(), 5);
  EXPECT_EQ(items[0]->iconText(), "🍎 A & B") << "the name as written, no shortcut letter";
  EXPECT_FALSE(items[0]->isEnabled());
  EXPECT_FALSE(items[4]->isEnabled());  // the only conversation cannot go
  for (int item : {2, 3, 4}) EXPECT_TRUE(testing::isLight(items[item]->icon())) << item;
  m_view->contextMenu()->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->contextMenu() == nullptr; }, 5000));
  m_view->openContextMenu(QPoint(5, 390));  // below the last row
  EXPECT_EQ(m_view->contextMenu(), nullptr);

  std::vector<Conversation> renamed;
  QObject::connect(&m_hub, &ChatViewSignals::editChatSession,
                   [&](const Conversation& c) { renamed.push_back(c); });
  seedStore({"🍎 A", "🍐 B", "🍑 C"}, "c1");
  ChatSessionManager::shared().loadSession("c1", false);
  ChatSessionManager::shared().saveSession("c1");
  make()->show();
  list = m_view->listView();
  const QPoint second = list->visualRect(list->model()->index(1, 0)).center();
  m_view->openContextMenu(second);
  m_view->contextMenu()->actions()[2]->trigger();
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(renamed[0].id, "c1");

  // Cancel changes nothing.
  m_view->openContextMenu(second);
  m_view->contextMenu()->actions()[4]->trigger();
  ASSERT_NE(m_view->deletionSheet(), nullptr);
  EXPECT_EQ(m_view->deletionSheet()->windowModality(), Qt::WindowModal);
  // Return and Escape keep the conversation.
  EXPECT_EQ(m_view->deletionSheet()->defaultButton(),
            sheetButton(LocalizedText::General::cancel()));
  EXPECT_EQ(m_view->deletionSheet()->escapeButton(), sheetButton(LocalizedText::General::cancel()));
  sheetButton(LocalizedText::General::cancel())->click();
  EXPECT_EQ(idsOnDisk(), (std::vector<std::string>{"c0", "c1", "c2"}));

  // Deleting the chat's conversation moves the chat to the first row and removes its file.
  m_sent.clear();
  m_view->openContextMenu(second);
  m_view->contextMenu()->actions()[4]->trigger();
  sheetButton(LocalizedText::General::deleteAction())->click();
  EXPECT_EQ(idsOnDisk(), (std::vector<std::string>{"c0", "c2"}));
  EXPECT_FALSE(std::filesystem::exists(Paths::sessionFile("c1").rawValue()));
  EXPECT_EQ(m_sent, std::vector<std::string>{"c0"});
  EXPECT_EQ(selectedRow(), 0);
}

TEST_F(SidePaneTest, TheMenuHeaderShowsTheNameAsTyped) {
  const std::string name = "🐱 <img src=/dev/zero> & co";
  seedStore({name, "🍐 B"}, "c1");
  const testing::MemoryCeiling ceiling(64 << 20);
  make()->show();
  QListView* list = m_view->listView();
  m_view->openContextMenu(list->visualRect(list->model()->index(0, 0)).center());
  ASSERT_NE(m_view->contextMenu(), nullptr);
  (void)m_view->contextMenu()->grab();
  (void)m_view->grab();
  // What a menu shows of an item is its text without the mnemonic marks.
  EXPECT_EQ(m_view->contextMenu()->actions()[0]->iconText().toStdString(), name);
  m_view->contextMenu()->close();
}

}  // namespace
}  // namespace tessra
