// The built program against a service whose answer never ends: its memory, with the browser's
// processes, stays bounded, Stop ends the answer at once, and what streamed is in the file. Runs
// on the small real desktop, driven with xdotool; the service is a loopback server.
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Tessra/chat_engine/chat_request.h"
#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/logger.h"
#include "testing/http_server.h"
#include "testing/memory_ceiling.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kQuestion = "Never stop talking";
// The program with its browser takes a few hundred megabytes and an answer adds what it shows;
// an answer that piles up copies of itself passes this within seconds.
constexpr std::size_t kCeiling = std::size_t{512} << 20;

// The welcome conversation's message that holds the question, as the file has it now; an empty
// object while there is none.
json savedQuestion(const testing::RunningProgram& tessra) {
  return chat_window_test::savedQuestion(tessra.dataFolder() / "welcome.json", kQuestion);
}

std::string savedAnswer(const testing::RunningProgram& tessra) {
  return savedQuestion(tessra).value("answer", std::string());
}

// `count` chunks of `content` in one write, again and again after `gap`.
testing::ScriptedResponse endlessAnswer(const std::string& content, int count,
                                        std::chrono::milliseconds gap) {
  std::string events;
  for (int i = 0; i < count; ++i) events += chat_window_test::contentEvent(content);
  return testing::ScriptedResponse::endless({{events, gap}});
}

class EndlessAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-endless-answer", UserSettings::kOpenAiKeyItem).has_value());
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  // Starts the program and asks the question, as the user does.
  void ask() {
    m_tessra.start();
    m_panel = m_tessra.waitForWindow(QStringLiteral("Tessra"));
    ASSERT_FALSE(m_panel.isEmpty()) << "the panel shows";
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), 20000);
    testing::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                      QString::fromLatin1(kQuestion)});
    testing::xdotool({QStringLiteral("key"), QStringLiteral("Return")});
  }

  // The Cancel button beside the prompt, which shows while an answer streams.
  void clickCancel() const {
    const QRect frame = testing::windowFrame(m_panel);
    testing::clickAt(frame.left() + 440, frame.bottom() - 75);
  }

  testing::TempDir m_home;
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
};

TEST_F(EndlessAnswerTest, StopEndsAnEndlessAnswerAtOnceAndTheFileKeepsWhatStreamed) {
  // Thousands of small pieces a second, without end.
  m_server.route("POST", "/v1/chat/completions", endlessAnswer("word ", 5, 1ms));
  ask();
  testing::MemoryCeiling ceiling(kCeiling, static_cast<pid_t>(m_tessra.pid()));

  // Seconds of the answer stream in and are saved on the way.
  constexpr std::size_t kSavedBeforeStop = 256 * 1024;
  ASSERT_EVENTUALLY(savedAnswer(m_tessra).size() >= kSavedBeforeStop || ceiling.crossed(), 60000);
  ASSERT_FALSE(ceiling.crossed()) << "peak growth " << (ceiling.peakGrowth() >> 20) << " MB";

  const auto pressed = Clock::now();
  clickCancel();
  ASSERT_TRUE(m_server.waitForClientClose(10s)) << "the answer goes on after Stop";
  const auto latency =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed);
  ASSERT_EVENTUALLY(savedQuestion(m_tessra).value("finished", false), 10000);
  platform::logInfo("Stop took {} ms; the program grew by at most {} MB", latency.count(),
                    ceiling.peakGrowth() >> 20);
  EXPECT_LT(latency, 2s);
  EXPECT_FALSE(ceiling.crossed());

  const std::string answer = savedAnswer(m_tessra);
  EXPECT_GE(answer.size(), kSavedBeforeStop);
  EXPECT_EQ(answer.size() % 5, 0u);
  EXPECT_EQ(answer.find_first_not_of("word "), std::string::npos);
  EXPECT_FALSE(savedQuestion(m_tessra).contains("error"));
  EXPECT_EQ(m_server.requestCount(), 1u);
}

TEST_F(EndlessAnswerTest, AnAnswerPastItsSizeIsCutThereAndSaysSo) {
  // Pieces of 64 KB as fast as the program takes them.
  m_server.route("POST", "/v1/chat/completions",
                 endlessAnswer(std::string(64 * 1024, 'x'), 1, 0ms));
  ask();
  testing::MemoryCeiling ceiling(kCeiling, static_cast<pid_t>(m_tessra.pid()));

  ASSERT_TRUE(m_server.waitForClientClose(60s) || ceiling.crossed());
  ASSERT_FALSE(ceiling.crossed()) << "peak growth " << (ceiling.peakGrowth() >> 20) << " MB";
  ASSERT_EVENTUALLY(savedQuestion(m_tessra).value("finished", false), 20000);
  platform::logInfo("The program grew by at most {} MB", ceiling.peakGrowth() >> 20);

  const json saved = savedQuestion(m_tessra);
  EXPECT_EQ(saved.value("error", std::string()),
            LocalizedText::Chat::answerTooLong().toStdString());
  const std::string answer = saved.value("answer", std::string());
  EXPECT_EQ(answer.size(), ChatRequest::kMaximumAnswerBytes);
  EXPECT_EQ(answer.find_first_not_of('x'), std::string::npos);
  EXPECT_TRUE(m_tessra.isRunning());
}

}  // namespace
}  // namespace tessra
