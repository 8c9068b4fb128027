// Keys typed right after the global shortcut, as people type into a launcher: a terminal has the
// keyboard, and Alt+Space comes with a question at 20 ms a key and Return at its end. The panel
// takes the keyboard only a good while later, yet the question reaches the service whole and in
// order, and the terminal reads none of it.
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

class KeysAfterTheShortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-keys-at-once", UserSettings::kOpenAiKeyItem).has_value());
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
};

TEST_F(KeysAfterTheShortcut, ReachThePromptInOrderAndNoneTheTerminal) {
  ASSERT_EQ(kQuestion.size(), 30u);
  testing::TempDir home;
  testing::HttpServer server;
  server.route("POST", "/v1/chat/completions",
               testing::ScriptedResponse::streamed({{"data: [DONE]\n\n"}}));
  testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), server.baseUrl());
  tessra.start();
  ASSERT_EVENTUALLY(tessra.hasKeyboard() && fs::exists(tessra.dataFolder() / "conversations.json"),
                    kWaitMs);

  // A terminal whose shell writes every key it reads to a file at once.
  const fs::path terminalRead = home.path() / "terminal-read";
  QProcess terminal;
  terminal.start("xterm", {"-e", "sh", "-c", "stty raw -echo; exec cat > \"$0\"",
                           QString::fromStdString(terminalRead.string())});
  QString window;
  ASSERT_EVENTUALLY(fs::exists(terminalRead) &&
                        !(window = testing::xdotool({"search", "--onlyvisible", "--pid",
                                                     QString::number(terminal.processId())}))
                             .isEmpty(),
                    kWaitMs);
  const auto readByTerminal = [&] {
    std::ifstream file(terminalRead);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  // The user clicks into it (which closes the panel), presses the shortcut and types at once.
  const auto typeFromTheTerminal = [&](const QStringList& keys) {
    const QRect frame = testing::windowFrame(window);
    testing::clickAt(frame.left() + 40, frame.center().y());
    ASSERT_EVENTUALLY(tessra.panel().isEmpty() && testing::topLevelOf(testing::focusedWindow()) ==
                                                      testing::topLevelOf(window),
                      kWaitMs);
    testing::xdotool(keys);
  };
  const auto question = [&](std::size_t index) -> std::string {
    const auto requests = server.requests();
    if (index >= requests.size()) return "none; the terminal read \"" + readByTerminal() + '"';
    return json::parse(requests[index].body)["messages"].back()["content"];
  };

  ASSERT_NO_FATAL_FAILURE(typeFromTheTerminal(
      {"key", "alt+space", "type", "--delay", "20", QString::fromStdString(kQuestion)}));
  testing::pressKeys("Return");
  ASSERT_EVENTUALLY_EQ(question(0), kQuestion, kWaitMs);
  // Return among the keys held for the panel sends what was typed before it.
  ASSERT_NO_FATAL_FAILURE(
      typeFromTheTerminal({"key", "--delay", "20", "alt+space", "h", "i", "Return"}));
  ASSERT_EVENTUALLY_EQ(question(1), "hi", kWaitMs);
  EXPECT_EQ(readByTerminal(), "");

  terminal.kill();
  terminal.waitForFinished();
  EXPECT_EQ(tessra.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
