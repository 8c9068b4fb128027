// The built program on a conversation whose file takes a while to write (it holds an answer of
// 20 MB): a question shows as sent, the prompt giving it up, only once the conversation's file
// holds it, and a kill soon after Return never loses a question the window had shown as sent.
// Runs on the small real desktop, driven with xdotool; the service is a loopback server.
#include <signal.h>

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const QString kQuestion = QStringLiteral("Is this question on disk yet?");
// Typed right after Return, as a user goes on typing: the prompt is never empty, so a copy of it
// always answers at once. One key, so that the first copy comes soon after Return.
const QString kTypedAfter = QStringLiteral("x");

// The conversation the program opens: one message whose answer is 20 MB of prose. The answer
// goes into the file as JSON text made here: encoding it would take longer than the program's
// start.
void writeBigConversation(const fs::path& data) {
  const std::string line = R"(The counter keeps its state in a small struct and walks the list.\n)";
  std::string answer;
  for (answer.reserve(20 << 20); answer.size() < (20u << 20);) answer += line;
  fs::create_directories(data);
  const Conversation conversation{"big", "📚 Big", platform::Date(), std::nullopt};
  std::ofstream(data / "conversations.json")
      << nlohmann::json(ConversationList{"list", "big", {conversation}}).dump();
  const ChatSession session{
      "big", "📚 Big", {ChatMessage("m0", "Tell me everything", "@answer@", true, false)}};
  std::string content = nlohmann::json(session).dump();
  content.replace(content.find("@answer@"), 8, answer);
  std::ofstream(data / "big.json") << content;
}

// How many messages of the conversation's file hold the question; -1 when the file is not whole
// (the stored answer and the end of the session are not all there). The file is opened at once:
// what it holds is what it held then, whatever is written later.
int questionsInFile(const testing::RunningProgram& tessra) {
  std::ifstream file(tessra.dataFolder() / "big.json");
  const std::string content{std::istreambuf_iterator<char>(file), {}};
  if (content.size() < (20u << 20) || !content.starts_with('{') || !content.ends_with('}'))
    return -1;
  const std::string stored = "\"question\":\"" + kQuestion.toStdString() + "\"";
  int count = 0;
  for (auto at = content.find(stored); at != std::string::npos; at = content.find(stored, at + 1))
    ++count;
  return count;
}

// What the prompt holds, as the user copies it: the window's own thread answers the copy, so the
// prompt held it before the copy arrives.
QString prompt() { return testing::copyAll(1s); }

class SentQuestionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-sent-question", UserSettings::kOpenAiKeyItem).has_value());
    m_server.route("POST", "/v1/chat/completions",
                   chat_window_test::streamedAnswer({"Noted", "."}, 10ms));
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  // Starts the program on the big conversation, the question typed into its prompt.
  void startWithTheQuestionTyped(testing::RunningProgram& tessra) {
    writeBigConversation(tessra.dataFolder());
    tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    tessra.start();
    ASSERT_FALSE(tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty()) << "the panel shows";
    ASSERT_EVENTUALLY(tessra.hasKeyboard(), 20000);
    testing::typeText(kQuestion);
    // The window takes the keys once it has read the conversation.
    ASSERT_EVENTUALLY(prompt() == kQuestion, 20000);
    // The copy selected it all: the caret goes back to its end, where the user types on.
    testing::pressKeys(QStringLiteral("End"));
  }

  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
};

TEST_F(SentQuestionTest, TheQuestionShowsAsSentOnlyOnceItsFileHoldsIt) {
  testing::TempDir home;
  testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  ASSERT_NO_FATAL_FAILURE(startWithTheQuestionTyped(tessra));
  testing::pressKeys(QStringLiteral("Return"));
  testing::typeText(kTypedAfter);

  // The first copy without the question: the window had given the question up by then.
  ASSERT_EVENTUALLY(prompt() == kTypedAfter, 20000);
  EXPECT_EQ(questionsInFile(tessra), 1)
      << "the prompt gave the question up before its file held it";

  ASSERT_EVENTUALLY(!m_server.streamEnds().empty(), 20000);
  EXPECT_EQ(m_server.requestCount(), 1u) << "the question went once";
  EXPECT_EQ(prompt(), kTypedAfter) << "what was typed meanwhile stays";
  EXPECT_EQ(tessra.quitWith(SIGTERM), 0);
  EXPECT_EQ(questionsInFile(tessra), 1);
}

TEST_F(SentQuestionTest, AKillSoonAfterReturnNeverLosesAQuestionShownAsSent) {
  for (const auto delay : {50ms, 100ms, 200ms}) {
    SCOPED_TRACE("killed " + std::to_string(delay.count()) + " ms after Return");
    testing::TempDir home;
    testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
    ASSERT_NO_FATAL_FAILURE(startWithTheQuestionTyped(tessra));

    const auto pressed = Clock::now();
    testing::pressKeys(QStringLiteral("Return"));
    // The kill comes at its moment, whatever the copies below are waiting for.
    std::thread killer([pid = tessra.pid(), at = pressed + delay] {
      std::this_thread::sleep_until(at);
      ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    testing::typeText(kTypedAfter);
    bool shownAsSent = false;
    while (!shownAsSent && Clock::now() < pressed + delay) shownAsSent = prompt() == kTypedAfter;
    killer.join();
    EXPECT_EQ(tessra.waitForExit(), -1);
    EXPECT_EQ(tessra.crashSignal(), SIGKILL);

    const int questions = questionsInFile(tessra);
    EXPECT_GE(questions, 0) << "the file is whole";
    EXPECT_LE(questions, 1);
    if (shownAsSent) {
      EXPECT_EQ(questions, 1) << "the window had shown the question as sent";
    }
    RecordProperty("shown_as_sent_" + std::to_string(delay.count()) + "ms", shownAsSent);
  }
}

}  // namespace
}  // namespace tessra
