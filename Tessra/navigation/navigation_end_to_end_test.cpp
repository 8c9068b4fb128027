// Conversations at hand as a user drives them, on a desktop with a window manager and a tray,
// with real keys and a real pointer: the whole program creating, switching, reordering and
// deleting conversations, checked in its files; and the topic list scrolling the real message
// page, checked in the page.
#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/chat_window/side_pane_view.h"
#include "Tessra/navigation/conversation_side_pane_view.h"
#include "Tessra/navigation/navigation_installation.h"
#include "Tessra/navigation/new_conversation_floating_panel_view.h"
#include "Tessra/navigation/session_topic_list_floating_panel_view.h"
#include "Tessra/storage/chat_session_manager.h"
#include "platform/foundation/json.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using testing::focusedWindow;
using testing::pressKeys;
using testing::typeText;

// The program's store below its home.
const std::string kStore = "data/TessraAI/";

class ConversationsEndToEndTest : public ::testing::Test {
 protected:
  // Four conversations with a question each, "alpha" the one shown.
  void seed() {
    ConversationList list{"LIST", "alpha", {}};
    for (const auto& [seededID, name] : kSeeded) {
      const std::string id = seededID;
      list.conversations.push_back(
          {id, name, platform::Date::fromReferenceDate(1000.0 * list.conversations.size()), {}});
      const ChatSession session{
          id, name, {ChatMessage(id + "-1", "About " + id, "Yes", true, false)}};
      m_home.write(kStore + id + ".json", platform::encodeJson(nlohmann::json(session)));
    }
    m_home.write(kStore + "conversations.json", platform::encodeJson(nlohmann::json(list)));
  }

  // The stored list as the program reads it; nothing while it cannot be read.
  std::optional<ConversationList> stored() const {
    try {
      return platform::decodeJson<ConversationList>(m_home.read(kStore + "conversations.json"));
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  std::vector<std::string> storedIds() const {
    std::vector<std::string> ids;
    if (const auto list = stored())
      for (const Conversation& c : list->conversations) ids.push_back(c.id);
    return ids;
  }
  std::string latest() const {
    const auto list = stored();
    return list ? list->latestSessionID.value_or("") : "";
  }
  bool hasSessionFile(const std::string& id) const {
    return std::filesystem::exists(m_home / (kStore + id + ".json"));
  }

  // Starts the program and waits until its panel, which shows at start, has the keyboard.
  void start() {
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), 20000);
    m_panel = focusedWindow();
    m_frame = testing::windowFrame(m_panel);
  }
  // Presses `keys` and waits until a floating panel over the chat has the keyboard.
  void openPanel(const QString& keys) {
    pressKeys(keys);
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && focusedWindow() != m_panel, 5000);
  }
  void waitForKeyboardBack() { ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000); }

  // The middle of a row of the side list, which lies along the right edge of a panel docked to
  // the right edge of the screen.
  QPoint row(int index) const {
    constexpr int height = ConversationSidePaneView::kRowHeight;
    return {m_frame.right() - SidePaneView::kPaneWidth / 2,
            m_frame.top() + height * index + height / 2};
  }

  static constexpr std::pair<const char*, const char*> kSeeded[] = {
      {"alpha", "🍎 Alpha"}, {"beta", "🍐 Beta"}, {"gamma", "🍑 Gamma"}, {"delta", "🥝 Delta"}};

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
  QRect m_frame;
};

TEST_F(ConversationsEndToEndTest, AUserCreatesSwitchesReordersAndDeletesConversations) {
  seed();
  start();

  // Ctrl+N, a name and Return: the new conversation comes last and the chat shows it.
  openPanel(QStringLiteral("ctrl+n"));
  typeText(QStringLiteral("Zebra talk"));
  pressKeys(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(storedIds().size() == 5, 5000);
  const Conversation created = stored()->conversations.back();
  const std::string emoji = created.name.substr(0, created.name.find(' '));
  EXPECT_EQ(NewConversationFloatingPanelView::characterCount(QString::fromStdString(emoji)), 1)
      << created.name;
  EXPECT_EQ(created.name, emoji + " Zebra talk");
  ASSERT_EVENTUALLY_EQ(latest(), created.id, 5000);
  waitForKeyboardBack();

  // Ctrl+K, part of a name and Return: the chat switches to it.
  openPanel(QStringLiteral("ctrl+k"));
  typeText(QStringLiteral("amm"));
  pressKeys(QStringLiteral("Return"));
  ASSERT_EVENTUALLY_EQ(latest(), "gamma", 5000);
  waitForKeyboardBack();

  // A drag of the first row onto the middle of the fourth lands in the gap above the fourth.
  // The pointer moves on in steps until the drag has begun and only then to the drop, as a hand
  // does: the program may take several steps for one, and a release before the drag drops
  // nothing.
  const QPoint from = row(0);
  const QPoint to = row(3);
  const auto moveTo = [](const QPoint& point) {
    testing::xdotool(
        {QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
  };
  const auto dragging = [] {
    return !testing::selectionOwner(QStringLiteral("XdndSelection")).isEmpty();
  };
  ASSERT_FALSE(dragging());
  moveTo(from);
  testing::xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
  // Back and forth within the row, beyond the distance that begins a drag and back.
  const int far = QApplication::startDragDistance() + 2;
  bool out = false;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (dragging()) return true;
        out = !out;
        moveTo(from + QPoint(0, out ? far : 2));
        return false;
      },
      5000))
      << "the drag begins";
  moveTo((from + to) / 2);
  moveTo(to);
  testing::xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
  const std::vector<std::string> reordered = {"beta", "gamma", "alpha", "delta", created.id};
  ASSERT_EVENTUALLY_EQ(storedIds(), reordered, 5000);

  // Delete from the menu of the conversation the chat shows, confirmed in the question: it goes
  // with its session file, and the chat moves to the first conversation.
  const std::string shown = latest();
  const auto at = std::find(reordered.begin(), reordered.end(), shown);
  ASSERT_NE(at, reordered.end()) << shown;
  ASSERT_TRUE(hasSessionFile(shown)) << shown;
  const QPoint menuAt = row(static_cast<int>(at - reordered.begin()));
  const auto windows = m_tessra.windows().size();
  testing::clickAt(menuAt.x(), menuAt.y(), 3);
  ASSERT_EVENTUALLY(m_tessra.windows().size() > windows, 5000) << "the menu opens";
  pressKeys(QStringLiteral("Up"));  // the last item, Delete
  pressKeys(QStringLiteral("Return"));
  const QString question = m_tessra.waitForWindow(QStringLiteral("Confirm Deletion"));
  ASSERT_FALSE(question.isEmpty());
  ASSERT_EVENTUALLY(focusedWindow() == question, 5000);
  pressKeys(QStringLiteral("shift+Tab"));  // from Cancel, which Return and Escape answer
  pressKeys(QStringLiteral("space"));
  std::vector<std::string> remaining = reordered;
  remaining.erase(remaining.begin() + (at - reordered.begin()));
  ASSERT_EVENTUALLY_EQ(storedIds(), remaining, 5000);
  ASSERT_EVENTUALLY(!hasSessionFile(shown), 5000);
  ASSERT_EVENTUALLY_EQ(latest(), remaining.front(), 5000);
  waitForKeyboardBack();

  // Nothing wrote the deleted conversation back, and nothing else was lost or renamed.
  EXPECT_FALSE(hasSessionFile(shown));
  const auto list = stored();
  for (const auto& [id, name] : kSeeded) {
    if (id == shown) continue;
    EXPECT_TRUE(hasSessionFile(id)) << id;
    const auto found = std::find_if(list->conversations.begin(), list->conversations.end(),
                                    [&](const Conversation& c) { return c.id == id; });
    ASSERT_NE(found, list->conversations.end()) << id;
    EXPECT_EQ(found->name, name);
  }
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "crash signal " << m_tessra.crashSignal();
}

// The topic list over a chat view in a window of this process, with the real message page.
class TopicListPageTest : public chat_window_test::ChatWindowTest {
 protected:
  void SetUp() override {
    installNavigation();
    QObject::connect(&m_hub, &ChatViewSignals::messageUpdates,
                     [this](const MessageUpdate& update) { m_updates.push_back(update); });
  }
  void TearDown() override { m_window.reset(); }

  // The page's answer to a script.
  QVariant page(const QString& script) { return testing::evaluate(*m_view->page(), script); }

  ChatViewSignals m_hub;
  std::vector<MessageUpdate> m_updates;
  std::unique_ptr<QWidget> m_window;
  ChatView* m_view = nullptr;
};

TEST_F(TopicListPageTest, EnterOnATopicScrollsThePageToItsQuestion) {
  ChatSessionManager& store = ChatSessionManager::shared();
  const std::string id = makeConversation("📜 Long");
  std::string answer;
  for (int line = 0; line < 12; ++line) answer += "A line of the answer.\n\n";
  for (int i = 1; i <= 30; ++i) {
    const std::string number = (i < 10 ? "0" : "") + std::to_string(i);
    store.upsertMessage(ChatMessage("m" + number, "Question " + number, answer, true, false), id);
  }
  store.saveSession(id);

  m_window = std::make_unique<QWidget>();
  m_window->setGeometry(400, 60, 700, 900);
  m_view = new ChatView(ChatSource::master, m_hub, m_window.get());
  m_view->setPinWindow(true);
  m_view->setGeometry(m_window->rect());
  m_view->controller().setSessionID(id);
  m_window->show();
  ASSERT_TRUE(testing::waitForPage(*m_view->page()));
  // Where the seventh question stands in the page's view; nothing while the page has not all 30.
  // Messages far from the view wait unrendered in a box of their height, so the seventh is found
  // by its place.
  const auto seventhTop = [this]() -> std::optional<double> {
    const QVariant top = page(QStringLiteral(
        "(() => { const all = document.querySelectorAll('#messages article'); "
        "return all.length === 30 ? all[6].getBoundingClientRect().top : null; })()"));
    if (!top.isValid() || top.isNull()) return std::nullopt;
    return top.toDouble();
  };
  // A long conversation opens at its end, far below the seventh question.
  ASSERT_EVENTUALLY(seventhTop().value_or(0) < -1000, 10000);

  // The user clicks into the window's header and asks for the topics.
  const QRect frame = testing::windowFrame(QString::number(m_window->winId()));
  testing::clickAt(frame.left() + 200, frame.top() + 20);
  ASSERT_EVENTUALLY(m_view->isAncestorOf(QApplication::focusWidget()), 5000);
  m_updates.clear();
  pressKeys(QStringLiteral("ctrl+t"));
  FloatingPanelPresenter* topics = m_view->panel(ChatView::Panel::topicList);
  ASSERT_EVENTUALLY(topics->panel() != nullptr, 5000);
  auto* list = qobject_cast<SessionTopicListFloatingPanelView*>(topics->panel()->content());
  ASSERT_NE(list, nullptr);
  ASSERT_EVENTUALLY(list->searchList()->searchField()->hasFocus(), 5000);
  typeText(QStringLiteral("question 07"));
  ASSERT_EVENTUALLY(list->searchList()->listView()->model()->rowCount() == 1, 5000);
  pressKeys(QStringLiteral("Return"));

  // One scroll, and the page shows the question at the top of its view.
  ASSERT_EVENTUALLY(!topics->isPresented(), 5000);
  ASSERT_EQ(m_updates.size(), 1u);
  EXPECT_EQ(m_updates[0], MessageUpdate::scrollToMessage("m07"));
  ASSERT_EVENTUALLY(seventhTop() && std::abs(*seventhTop()) < 1, 10000);
  EXPECT_EQ(m_view->controller().sessionID(), id);
}

}  // namespace
}  // namespace tessra
