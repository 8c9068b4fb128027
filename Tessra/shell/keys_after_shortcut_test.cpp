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
#include <optional>
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

    m_terminal.emplace(m_home.path() / "terminal-read");
    ASSERT_FALSE(m_terminal->window().isEmpty());
  }

  void TearDown() override {
    if (m_tessra.isRunning()) {
      EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
    }
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  std::string readByTerminal() const { return m_terminal->read(); }

  // The user clicks into the terminal (which closes the panel) and types `keys` from there.
  void typeFromTheTerminal(const QStringList& keys) {
    ASSERT_TRUE(m_terminal->clickInto());
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
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
  // Started once the program runs, as the user's terminal is.
  std::optional<testing::RecordingTerminal> m_terminal;
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
