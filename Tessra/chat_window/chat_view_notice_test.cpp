// What the chat view tells the user about what it cannot do with a conversation's file, and which
// model it says the next request uses: real widgets, the real page, the store in a temporary
// folder and the real engine against the loopback server.
#include <QTest>

#include <fstream>
#include <sstream>

#include "Tessra/chat_window/chat_notice.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/chat_window/chat_view_test_fixture.h"
#include "Tessra/chat_window/messages_web_view.h"
#include "Tessra/chat_window/page_test_support.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/chat_session_manager_test_access.h"
#include "Tessra/storage/paths.h"
#include "Tessra/ui_foundation/small_views.h"
#include "testing/unwritable_folder.h"

namespace tessra {
namespace {

using namespace chat_window_test;

std::string readBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

int articleCount(MessagesWebView& page) {
  testing::waitIdle(page);
  return testing::evaluate(page, QStringLiteral("document.querySelectorAll('#messages article')"
                                                ".length"))
      .toInt();
}

QString pageText(MessagesWebView& page) {
  testing::waitIdle(page);
  return testing::evaluate(page, QStringLiteral("document.getElementById('messages').innerText"))
      .toString();
}

// The title on the model badge.
QString badge(const ChatView& view) {
  for (const BadgeLabel* label : view.findChildren<BadgeLabel*>())
    if (!label->text().isEmpty()) return label->text();
  return {};
}

TEST_F(ChatViewTest, TheModelBadgeShowsTheModelOfTheNextRequestAsTheDefaultChanges) {
  server().route("POST", "/v1/chat/completions", streamedAnswer({"Hi"}, 0ms));
  auto& store = ChatSessionManager::shared();
  // Picking the default model in a conversation's settings stores none: it follows the default.
  const std::string follows = makeConversation("🧭 Follows");
  Conversation entry = *store.conversation(follows);
  entry.config->model.reset();
  store.updateConversation(follows, entry);
  const std::string own = makeConversation("📌 Own");
  entry = *store.conversation(own);
  entry.config->model = ChatGPTModels::gpt4o;
  store.updateConversation(own, entry);
  m_settings->setValue(setting::openAiModel, ChatGPTModels::gpt4);
  ChatView& view = makeView();

  const struct {
    const char* name;
    const std::string& conversation;
    ChatGPTModels newDefault;
    ChatGPTModels used;
  } cases[] = {
      {"a conversation without a model follows", follows, ChatGPTModels::gpt35,
       ChatGPTModels::gpt35},
      {"and again", follows, ChatGPTModels::gpt4turbo, ChatGPTModels::gpt4turbo},
      {"a conversation with its own model keeps it", own, ChatGPTModels::gpt35,
       ChatGPTModels::gpt4o},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    view.controller().setSessionID(test.conversation);
    m_settings->setValue(setting::openAiModel, test.newDefault);
    EXPECT_EQ(view.controller().sessionModel(), test.used);
    EXPECT_EQ(badge(view), QString::fromUtf8(displayTitle(test.used)));

    const std::size_t before = chatRequests().size();
    view.setText(QStringLiteral("Which model?"));
    view.sendMessage();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return chatRequests().size() > before && !view.controller().busy(); }, 10000));
    EXPECT_EQ(chatRequests().back()["model"], std::string(apiModelName(test.used)));
  }

  // A model picked in the settings of the conversation shown reaches the badge at once.
  entry = *store.conversation(own);
  entry.config->model = ChatGPTModels::gpt4turbo;
  store.updateConversation(own, entry);
  EXPECT_EQ(badge(view), QString::fromUtf8(displayTitle(ChatGPTModels::gpt4turbo)));
}

TEST_F(ChatViewTest, AConversationWhoseFileCannotBeReadSaysSoAndRefusesQuestions) {
  auto& store = ChatSessionManager::shared();
  const std::string readable = conversationWith({finishedMessage("Readable")});
  const std::string damaged = conversationWith({finishedMessage("Cut short")});
  // Ten bytes cut from its file, which is read again when the conversation opens.
  const std::string path = Paths::sessionFile(damaged).rawValue();
  std::string bytes = readBytes(path);
  bytes.resize(bytes.size() - 10);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  ChatSessionManagerTestAccess::sessions(store).erase(damaged);
  ChatView& view = makeView();
  view.controller().setSessionID(readable);
  ASSERT_TRUE(testing::waitForPage(*view.page()));
  ASSERT_EQ(articleCount(*view.page()), 1);
  EXPECT_TRUE(view.notice()->isHidden());

  view.controller().setSessionID(damaged);
  EXPECT_EQ(view.notice()->text(), LocalizedText::Chat::conversationUnreadable());
  EXPECT_FALSE(view.notice()->reason().isEmpty());
  EXPECT_EQ(articleCount(*view.page()), 0) << "no other conversation's messages under its name";

  const std::size_t requests = chatRequests().size();
  view.setText(QStringLiteral("Are you there?"));
  view.sendMessage();
  EXPECT_FALSE(view.controller().busy());
  EXPECT_EQ(view.text(), "Are you there?") << "the question stays to be copied";
  EXPECT_EQ(view.notice()->text(), LocalizedText::Chat::questionRefused());
  EXPECT_FALSE(view.notice()->isHidden());
  QTest::qWait(100);  // a check that nothing happens: no request leaves in this time
  EXPECT_EQ(chatRequests().size(), requests);
  EXPECT_EQ(readBytes(path), bytes) << "nothing is written into the file";

  view.controller().setSessionID(readable);
  EXPECT_TRUE(view.notice()->isHidden());
}

TEST_F(ChatViewTest, AnAnswerThatCannotBeSavedIsToldAndStaysOnThePage) {
  using How = testing::UnwritableFolder::How;
  server().route("POST", "/v1/chat/completions", streamedAnswer({"Copy ", "me ", "now"}, 20ms));
  auto& store = ChatSessionManager::shared();
  for (const How how : {How::readOnly, How::full}) {
    SCOPED_TRACE(how == How::readOnly ? "read-only folder" : "full disk");
    ChatView& view = makeView();
    const std::string id = conversationWith({});
    view.controller().setSessionID(id);
    ASSERT_TRUE(testing::waitForPage(*view.page()));
    {
      const testing::UnwritableFolder blocked(Paths::storageDirectory().rawValue(), how);
      if (!blocked.isActive()) GTEST_SKIP() << blocked.why();
      view.setText(QStringLiteral("Will you keep this?"));
      view.sendMessage();
      ASSERT_TRUE(QTest::qWaitFor([&] { return !view.controller().busy(); }, 10000));
      store.waitForSaves();
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return view.notice()->text() == LocalizedText::Chat::conversationNotSaved(); },
          5000));
      EXPECT_FALSE(view.notice()->reason().isEmpty());
      EXPECT_EQ(store.lastMessage(id)->answer, "Copy me now");
      EXPECT_TRUE(pageText(*view.page()).contains(QStringLiteral("Copy me now")));
    }
    // The next save that succeeds writes everything and takes the notice away.
    view.controller().toggleEndContext();
    EXPECT_TRUE(view.notice()->isHidden());
    EXPECT_EQ(sessionFile(id)["messages"][0]["answer"], "Copy me now");
  }
}

}  // namespace
}  // namespace tessra
