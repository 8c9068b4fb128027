// The built program killed while an answer streams, as a power cut would end it, then started
// again: what the user typed and the part of the answer saved are in the file and on the page.
// Runs on the small real desktop, driven with xdotool; the service is a loopback server.
#include <signal.h>

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* kQuestion = "Tell me a long story";

// The welcome conversation's message that holds the question, as the file has it now; an empty
// object while there is none.
json savedQuestion(const testing::RunningProgram& tessra) {
  return chat_window_test::savedQuestion(tessra.dataFolder() / "welcome.json", kQuestion);
}

// What the page shows, as the user copies it: a click into it, Ctrl+A, Ctrl+C, and the clipboard.
// Right after a start the keyboard may still move to the prompt; the user would click again.
QString pageText(const QString& panel) {
  const QRect frame = testing::windowFrame(panel);
  QString text;
  (void)QTest::qWaitFor(
      [&] {
        testing::clickAt(frame.center().x(), frame.top() + frame.height() / 3);
        text = testing::copyAll(std::chrono::seconds(1));
        return !text.isEmpty();
      },
      20000);
  return text;
}

class CrashRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-crash-recovery", UserSettings::kOpenAiKeyItem).has_value());
    std::vector<std::string> pieces;
    for (int i = 0; i < 150; ++i) pieces.push_back("part " + std::to_string(i) + " ");
    m_server.route("POST", "/v1/chat/completions", chat_window_test::streamedAnswer(pieces, 100ms));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  QString startAndWaitForThePanel() {
    m_tessra.start();
    const QString panel = m_tessra.waitForWindow(QStringLiteral("Tessra"));
    EXPECT_FALSE(panel.isEmpty()) << "the panel shows";
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_tessra.hasKeyboard(); }, 10000));
    return panel;
  }

  testing::TempDir m_home;
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

TEST_F(CrashRecoveryTest, AKillMidAnswerKeepsTheQuestionAndTheAnswerSavedSoFar) {
  startAndWaitForThePanel();
  testing::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                    QString::fromLatin1(kQuestion)});
  testing::xdotool({QStringLiteral("key"), QStringLiteral("Return")});

  // A part of the answer reaches the file while the rest still streams.
  ASSERT_EVENTUALLY(savedQuestion(m_tessra).value("answer", std::string()).size() > 0, 20000);
  EXPECT_EQ(savedQuestion(m_tessra)["finished"], false);
  ASSERT_EQ(m_tessra.quitWith(SIGKILL), -1);
  EXPECT_EQ(m_tessra.crashSignal(), SIGKILL);
  const json saved = savedQuestion(m_tessra);
  const std::string part = saved["answer"];
  ASSERT_FALSE(part.empty());

  const QString panel = startAndWaitForThePanel();
  const QString shown = pageText(panel);
  EXPECT_TRUE(shown.contains(QString::fromLatin1(kQuestion))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QString::fromStdString(part).trimmed())) << shown.toStdString();
  EXPECT_EQ(savedQuestion(m_tessra)["answer"], part) << "the file keeps what was saved";
}

}  // namespace
}  // namespace tessra
