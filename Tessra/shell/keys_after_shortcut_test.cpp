// Keys typed right after the global shortcut, as people type into a launcher: a terminal has the
// keyboard, and Alt+Space comes with a question at 20 ms a key and Return at its end. The panel
// takes the keyboard only a good while later, yet the question reaches the service whole and in
// order, as typed, and the terminal reads none of it.
//
// And the other way round, keys typed right after the panel hides, as people go back to their
// terminal: Escape or Alt+Space, then a command at 20 ms a key and Return. The panel slides out
// for a good while after, yet the terminal reads every key in order, and the panel none.
#include <signal.h>

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;
// 30 keys, capitals and digits among them.
const std::string kQuestion = "What is 17 plus 25, Tessra? Ok";
// 30 keys, shifted ones among them.
const std::string kCommand = "ls -la ~/Music && echo Done 42";

class KeysAfterTheShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-keys-at-once", UserSettings::kOpenAiKeyItem).has_value());
    m_server.route("POST", "/v1/chat/completions",
                   testing::ScriptedResponse::streamed({{"data: [DONE]\n\n"}}));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    m_tessra.start();
    ASSERT_EVENTUALLY(
        m_tessra.hasKeyboard() && fs::exists(m_tessra.dataFolder() / "conversations.json"),
        kWaitMs);

    // A terminal whose shell writes every key it reads to a file at once.
    m_terminal.start("xterm", {"-e", "sh", "-c", "stty raw -echo; exec cat > \"$0\"",
                               QString::fromStdString(m_terminalRead.string())});
    ASSERT_EVENTUALLY(fs::exists(m_terminalRead) &&
                          !(m_window = testing::xdotool({"search", "--onlyvisible", "--pid",
                                                         QString::number(m_terminal.processId())}))
                               .isEmpty(),
                      kWaitMs);
  }

  void TearDown() override {
    m_terminal.kill();
    m_terminal.waitForFinished();
    if (m_tessra.isRunning()) {
      EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
    }
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  std::string readByTerminal() const {
    std::ifstream file(m_terminalRead);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // The user clicks into the terminal (which closes the panel) and types `keys` from there.
  void typeFromTheTerminal(const QStringList& keys) {
    const QRect frame = testing::windowFrame(m_window);
    testing::clickAt(frame.left() + 40, frame.center().y());
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty() && testing::topLevelOf(testing::focusedWindow()) ==
                                                        testing::topLevelOf(m_window),
                      kWaitMs);
    testing::xdotool(keys);
  }

  // The text of the service's `index`th question.
  std::string question(std::size_t index) const {
    const auto requests = m_server.requests();
    if (index >= requests.size()) return "none; the terminal read \"" + readByTerminal() + '"';
    return json::parse(requests[index].body)["messages"].back()["content"];
  }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::TempDir m_home;
  testing::HttpServer m_server;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  const fs::path m_terminalRead = m_home.path() / "terminal-read";
  QProcess m_terminal;
  QString m_window;
};

TEST_F(KeysAfterTheShortcut, ReachThePromptInOrderAndNoneTheTerminal) {
  ASSERT_EQ(kQuestion.size(), 30u);
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal(
      {"key", "alt+space", "type", "--delay", "20", QString::fromStdString(kQuestion)}));
  testing::pressKeys("Return");
  ASSERT_EVENTUALLY_EQ(question(0), kQuestion, kWaitMs);
  // Return among the keys held for the panel sends what was typed before it.
  ASSERT_NO_FATAL_FAILURE(
      typeFromTheTerminal({"key", "--delay", "20", "alt+space", "h", "i", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(1), "hi", kWaitMs);
  EXPECT_EQ(readByTerminal(), "");
}

TEST_F(KeysAfterTheShortcut, AfterTheHideReachTheTerminalInOrderAndNoneThePanel) {
  ASSERT_EQ(kCommand.size(), 30u);
  std::string typed;
  std::size_t asked = 0;
  for (const QString hidingKey : {"Escape", "alt+space"}) {
    SCOPED_TRACE(hidingKey.toStdString());
    ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "alt+space"}));
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs);
    // A carriage return types Return.
    testing::xdotool(
        {"key", hidingKey, "type", "--delay", "20", QString::fromStdString(kCommand + '\r')});
    typed += kCommand + '\r';
    ASSERT_EVENTUALLY_EQ(readByTerminal(), typed, kWaitMs);
    EXPECT_EQ(m_server.requests().size(), asked);
    // Nothing waits in the prompt for the next show.
    ASSERT_NO_FATAL_FAILURE(
        typeFromTheTerminal({"key", "--delay", "20", "alt+space", "o", "k", "Return"}));
    ASSERT_EVENTUALLY_EQ(question(asked), "ok", kWaitMs);
    ++asked;
  }
  EXPECT_EQ(readByTerminal(), typed);
}

TEST_F(KeysAfterTheShortcut, MakeTheAccentsOfDeadKeys) {
  // The apostrophe key is a dead key on this layout: with "e" after it, it types "é".
  ASSERT_EQ(QProcess::execute("setxkbmap", {"us", "-variant", "intl"}), 0);
  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal({"key", "--delay", "20", "alt+space", "dead_acute",
                                               "e", "t", "dead_acute", "e", "space", "c", "a", "f",
                                               "dead_acute", "e", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(0), "été café", kWaitMs);
  EXPECT_EQ(readByTerminal(), "");
}

}  // namespace
}  // namespace tessra
