// The built program ended while a question is under way, as a logout or a display server that goes
// away ends it: it ends at once and cleanly, the question and what the answer received are in the
// file, and the next start finds them as a stop leaves them. Runs on the small real desktop (and
// on one of the test's own, whose display can go), driven with xdotool; the service is a loopback
// server.
#include <signal.h>

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::RunningProgram;
using testing::ScriptedResponse;
using Clock = std::chrono::steady_clock;

constexpr const char* kQuestion = "Tell me a long story";

std::vector<std::string> storyPieces() {
  std::vector<std::string> pieces;
  for (int i = 0; i < 150; ++i) pieces.push_back("part " + std::to_string(i) + " ");
  return pieces;
}

std::string wholeStory() {
  std::string story;
  for (const std::string& piece : storyPieces()) story += piece;
  return story;
}

// The welcome conversation's message that holds the question, as the file has it now; an empty
// object while there is none.
json savedQuestion(const RunningProgram& tessra) {
  return chat_window_test::savedQuestion(tessra.dataFolder() / "welcome.json", kQuestion);
}

class QuitMidAnswerTest : public ::testing::Test {
 protected:
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  // The key in the keyring of the session bus this process first reaches.
  void storeKey() {
    ASSERT_TRUE(m_keychain.set("sk-quit-mid-answer", UserSettings::kOpenAiKeyItem).has_value());
  }

  // Starts the program with its panel; the panel has the keyboard.
  QString start(RunningProgram& tessra) {
    tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    tessra.start();
    const QString panel = tessra.waitForWindow(QStringLiteral("Tessra"));
    EXPECT_FALSE(panel.isEmpty()) << "the panel shows";
    EXPECT_TRUE(QTest::qWaitFor([&] { return tessra.hasKeyboard(); }, 20000));
    return panel;
  }

  // Asks the question as the user does; the time Return went.
  static Clock::time_point ask() {
    testing::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
                      QString::fromLatin1(kQuestion)});
    testing::xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    return Clock::now();
  }

  // What the page shows, as the user copies it: a click into it, Ctrl+A, Ctrl+C, and the
  // clipboard of the display the program and the tools are on.
  static std::string pageText(const QString& panel) {
    const QRect frame = testing::windowFrame(panel);
    QString text;
    (void)QTest::qWaitFor(
        [&] {
          testing::clickAt(frame.center().x(), frame.top() + frame.height() / 3);
          testing::pressKeys(QStringLiteral("ctrl+a"));
          testing::pressKeys(QStringLiteral("ctrl+c"));
          QProcess clipboard;
          clipboard.start(
              QStringLiteral("xclip"),
              {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
          clipboard.waitForFinished(5000);
          text = QString::fromUtf8(clipboard.readAllStandardOutput());
          return !text.isEmpty();
        },
        20000);
    return text.toStdString();
  }

  // Ends the display under the program, which must end by itself within seconds.
  static void endDisplay(testing::TestDesktop& desktop, RunningProgram& tessra) {
    desktop.endDisplay();
    const auto ended = Clock::now();
    const int status = tessra.waitForExit(10s);
    ASSERT_FALSE(tessra.isRunning()) << "the program hangs";
    EXPECT_LT(Clock::now() - ended, 5s);
    // The window system's own end of a program that lost its display.
    EXPECT_EQ(status, 1) << "crashed with signal " << tessra.crashSignal();
  }

  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
};

// A logout sends SIGTERM whenever it comes: before the request has started, while the history is
// counted, before the answer's first piece, while it streams. Each ends the program with status 0,
// and the file keeps the question with the answer as far as it came, as a stop keeps it.
TEST_F(QuitMidAnswerTest, ASignalRightAfterAQuestionEndsTheProgramCleanly) {
  m_server.route("POST", "/v1/chat/completions",
                 chat_window_test::streamedAnswer(storyPieces(), 40ms));
  const std::string story = wholeStory();
  storeKey();
  for (int delay = 0; delay <= 560; delay += 80) {
    SCOPED_TRACE("SIGTERM " + std::to_string(delay) + " ms after Return");
    testing::TempDir home;
    RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
    start(tessra);
    const Clock::time_point returned = ask();
    // The moment is the case itself, not a wait for something to happen.
    std::this_thread::sleep_until(returned + std::chrono::milliseconds(delay));
    EXPECT_EQ(tessra.quitWith(SIGTERM), 0) << "crashed with signal " << tessra.crashSignal();

    const json saved = savedQuestion(tessra);
    ASSERT_EQ(saved.value("question", std::string()), kQuestion) << "the question is kept";
    const std::string answer = saved.value("answer", std::string());
    EXPECT_EQ(story.substr(0, answer.size()), answer) << "what was received, as it came";
    EXPECT_EQ(saved["finished"], true) << "kept as a stopped answer";
    EXPECT_FALSE(saved.contains("error")) << "a stop is no error";
  }
}

// The display server goes away (a session that ends, a display server restarted) while the
// answer streams: the program ends within seconds with the answer as far as it came, kept as a
// stop keeps it, and a start on the new display is the one running copy and shows it.
TEST_F(QuitMidAnswerTest, TheDisplayGoingAwayMidAnswerEndsTheProgramWithTheAnswerKept) {
  m_server.route("POST", "/v1/chat/completions",
                 chat_window_test::streamedAnswer(storyPieces(), 100ms));
  // A desktop of the test's own, whose display can go while the test's own windows stay; the
  // program, the tools and the keyring are on it from here on.
  testing::TestDesktop desktop(testing::TestDesktop::optionsFromEnvironment());
  storeKey();
  testing::TempDir home;
  RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  start(tessra);
  ask();
  // Part of the answer is in the file while the rest still streams.
  ASSERT_EVENTUALLY(!savedQuestion(tessra).value("answer", std::string()).empty(), 20000);
  const std::string savedBefore = savedQuestion(tessra)["answer"];

  ASSERT_NO_FATAL_FAILURE(endDisplay(desktop, tessra));
  const json saved = savedQuestion(tessra);
  const std::string answer = saved["answer"];
  ASSERT_EQ(answer.substr(0, savedBefore.size()), savedBefore);
  EXPECT_EQ(wholeStory().substr(0, answer.size()), answer);
  EXPECT_EQ(saved["finished"], true) << "kept as a stopped answer";

  desktop.startDisplay();
  RunningProgram again(QStringLiteral(TESSRA_BINARY), home.path());
  const std::string shown = pageText(start(again));
  // The last piece kept, without the space the page leaves out at the end of a line.
  const std::size_t last = answer.rfind("part");
  const std::string lastPiece = answer.substr(last, answer.find(' ', last + 5) - last);
  EXPECT_NE(shown.find(lastPiece), std::string::npos) << shown;
  EXPECT_EQ(again.quitWith(SIGTERM), 0);
}

// The display goes while the picture is drawn: the next start shows the question with the tool
// that was cut off, as a stop leaves it, never a tool still running nor nothing at all.
TEST_F(QuitMidAnswerTest, TheDisplayGoingAwayWhileAPictureIsDrawnLeavesTheAnswerAsAStopDoes) {
  m_server.route("POST", "/v1/chat/completions",
                 ScriptedResponse::streamed({{chat_window_test::imageToolCallEvent("A fox"), 0ms},
                                             {"data: [DONE]\n\n", 0ms}}));
  m_server.route("POST", "/v1/images/generations", ScriptedResponse::stall("", 30s));
  testing::TestDesktop desktop(testing::TestDesktop::optionsFromEnvironment());
  storeKey();
  testing::TempDir home;
  RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  start(tessra);
  ask();
  const auto pictureAskedFor = [&] {
    for (const testing::RecordedRequest& request : m_server.requests())
      if (request.path == "/v1/images/generations") return true;
    return false;
  };
  ASSERT_EVENTUALLY(pictureAskedFor(), 20000);

  ASSERT_NO_FATAL_FAILURE(endDisplay(desktop, tessra));
  const json stopped = {{{"text", "DALLE-E"}, {"status", "failed"}}};
  EXPECT_EQ(savedQuestion(tessra)["functionCalls"], stopped);
  EXPECT_EQ(savedQuestion(tessra)["finished"], true);
  EXPECT_FALSE(savedQuestion(tessra).contains("error")) << "a stop is no error";

  desktop.startDisplay();
  RunningProgram again(QStringLiteral(TESSRA_BINARY), home.path());
  const std::string shown = pageText(start(again));
  EXPECT_NE(shown.find(kQuestion), std::string::npos) << shown;
  EXPECT_NE(shown.find("DALLE-E"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Running"), std::string::npos) << shown;
  EXPECT_EQ(again.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
