#include "Tessra/navigation/conversation_list_model.h"

#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Tessra/storage/chat_session_manager_test_access.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

// A list of conversations named by their ids; "x'" is "x" renamed.
ConversationList listOf(const std::vector<std::string>& names) {
  ConversationList list{"LIST", std::nullopt, {}};
  for (const std::string& name : names) {
    const std::string id = name.substr(0, name.find('\''));
    list.conversations.push_back({id, name, platform::Date::fromReferenceDate(0), {}});
  }
  return list;
}

std::vector<std::string> rows(const ConversationListModel& model) {
  std::vector<std::string> names;
  for (int row = 0; row < model.rowCount(); ++row)
    names.push_back(model.index(row).data().toString().toStdString());
  return names;
}

// Whatever the store's list becomes, the rows become the same with the fewest row operations a
// view can follow: the rows that stay keep their selection, and nothing is ever reset.
TEST(ConversationListModelTest, FollowsTheStoreRowByRow) {
  struct Case {
    std::vector<std::string> before;
    std::vector<std::string> after;
    int removes, moves, inserts, changes;
  };
  const std::vector<Case> cases = {
      {{"a", "b", "c", "d"}, {"b", "a", "c", "d"}, 0, 1, 0, 0},  // a drop into the gap below b
      {{"a", "b", "c", "d"}, {"b", "c", "d", "a"}, 0, 1, 0, 0},  // the first row to the end
      {{"a", "b", "c", "d"}, {"d", "a", "b", "c"}, 0, 1, 0, 0},  // the last row to the top
      {{"a", "b", "c", "d"}, {"d", "c", "b", "a"}, 0, 3, 0, 0},  // reversed
      {{"a", "b", "c"}, {"a", "c"}, 1, 0, 0, 0},                 // a delete
      {{"a", "b", "c", "d"}, {"a", "d"}, 1, 0, 0, 0},            // two neighbours at once
      {{"a", "b"}, {"a", "b", "c"}, 0, 0, 1, 0},                 // a create
      {{}, {"a", "b"}, 0, 0, 1, 0},                              // the first load
      {{"a", "b", "c"}, {"a", "b'", "c"}, 0, 0, 0, 1},           // a rename
      {{"a", "b", "c"}, {"c'", "x", "a"}, 1, 1, 1, 1},           // all of it together
      {{"a", "b"}, {}, 1, 0, 0, 0},                              // the list gone
  };
  testing::TempDir dir;
  platform::UserDefaults defaults(dir / "defaults.json");
  platform::NotificationCenter center;
  ChatSessionManager store(center, defaults);
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.before.size()) + " to " +
                             std::to_string(c.after.size()) + ", first " +
                             (c.after.empty() ? "" : c.after.front());
    ChatSessionManagerTestAccess::replaceList(store, listOf(c.before));
    ConversationListModel model(store);
    std::map<std::string, QPersistentModelIndex> held;
    for (int row = 0; row < model.rowCount(); ++row)
      held.emplace(c.before[static_cast<std::size_t>(row)],
                   QPersistentModelIndex(model.index(row)));
    QSignalSpy removes(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    ChatSessionManagerTestAccess::replaceList(store, listOf(c.after));

    EXPECT_EQ(rows(model), c.after) << what;
    EXPECT_EQ(removes.count(), c.removes) << what;
    EXPECT_EQ(moves.count(), c.moves) << what;
    EXPECT_EQ(inserts.count(), c.inserts) << what;
    EXPECT_EQ(changes.count(), c.changes) << what;
    EXPECT_EQ(resets.count(), 0) << what;
    for (const auto& [id, index] : held) {
      if (!model.rowOf(id)) {
        EXPECT_FALSE(index.isValid()) << what << " " << id;
        continue;
      }
      EXPECT_EQ(index.row(), *model.rowOf(id)) << what << " " << id;
    }
  }
}

}  // namespace
}  // namespace tessra
