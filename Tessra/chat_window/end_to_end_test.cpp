// The program as a user meets it: the built `tessra` on a small desktop of its own (a window
// manager and a tray), with folders of its own, the service played by a loopback server, the key
// in the session's keyring. The test types with real X key events, reads what the page shows
// through the clipboard, and checks the request and the session file.
#include <signal.h>

#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "testing/counter.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::HttpServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;
namespace fs = std::filesystem;

constexpr const char* kKey = "sk-end-to-end-window";
const std::string kAnswer =
    "# Café notes\n\nTessra answers with **bold words** and `code`:\n\n- first point\n"
    "- second point ✓\n\n```cpp\nint answer = 42;\n```\n";

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Past the onboarding (the runner's default), with the key stored where the program looks.
    ASSERT_TRUE(m_keychain.set(kKey, UserSettings::kOpenAiKeyItem).has_value());
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());

    m_server.route("POST", "/v1/chat/completions", [this](const RecordedRequest& request) {
      const json body = json::parse(request.body);
      const std::string question = body["messages"].back()["content"].is_string()
                                       ? body["messages"].back()["content"].get<std::string>()
                                       : body["messages"].back()["content"].dump();
      if (question.find("fail") != std::string::npos)
        return chat_window_test::errorEnvelope(401, "Incorrect API key provided: sk-e2e***.");
      std::string events;
      for (std::size_t at = 0; at < kAnswer.size(); at += 7)
        events += chat_window_test::contentEvent(kAnswer.substr(at, 7));
      events += "data: [DONE]\n\n";
      // Held back until the test has typed into the panel that waits for it: a loaded machine
      // may carry those keys to the program more slowly than any answer streams.
      (void)m_answersLetGo.waitForAtLeast(1, 30s);
      // Slowly, cut at awkward places: inside lines, events and multi-byte characters.
      return ScriptedResponse::streamed(testing::splitEvery(events, 23, 15ms));
    });
  }

  void TearDown() override {
    m_answersLetGo.add();
    quit();
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  // Starts the program; the panel slides in and takes the keyboard by itself.
  void start() {
    m_tessra.start();
    m_panel = m_tessra.waitForWindow(QStringLiteral("Tessra"));
    ASSERT_FALSE(m_panel.isEmpty()) << "the panel shows";
    ASSERT_EVENTUALLY(
        m_tessra.hasKeyboard() && fs::exists(m_tessra.dataFolder() / "conversations.json"), 20000);
  }

  void quit() {
    if (!m_tessra.isRunning()) return;
    EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
  }

  json conversations() const {
    std::ifstream file(m_tessra.dataFolder() / "conversations.json");
    return json::parse(file);
  }
  json session() const {
    const std::string id = conversations()["latestSessionID"];
    std::ifstream file(m_tessra.dataFolder() / (id + ".json"));
    return file ? json::parse(file, nullptr, false) : json();
  }
  std::vector<json> chatRequests() const {
    std::vector<json> bodies;
    for (const RecordedRequest& r : m_server.requests())
      if (r.path == "/v1/chat/completions") bodies.push_back(json::parse(r.body));
    return bodies;
  }

  // Types a line into the panel and presses Return, as the user would.
  static void typeLine(const std::string& text) {
    testing::xdotool({"type", "--delay", "15", QString::fromStdString(text)});
    testing::xdotool({"key", "Return"});
  }

  // What the page shows: a click into it, Ctrl+A, Ctrl+C, and the clipboard. Right after a start
  // the keyboard may still be on its way to the prompt; the user would click again.
  std::string pageText() const {
    const QRect frame = testing::windowFrame(m_panel);
    QString text;
    (void)QTest::qWaitFor(
        [&] {
          testing::clickAt(frame.center().x(), frame.top() + frame.height() / 3);
          text = testing::copyAll(1000ms);
          return !text.isEmpty();
        },
        20000);
    return text.toStdString();
  }

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  // Counted once the answers may come; the server's handlers wait on it.
  testing::Counter m_answersLetGo;
  HttpServer m_server;
  QString m_panel;
};

TEST_F(EndToEndTest, AQuestionTypedInThePanelStreamsItsAnswerIntoThePageAndTheFile) {
  start();
  typeLine("What is Tessra?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !chatRequests().empty(); }, 20000));
  // Return again while the answer is under way sends nothing: the text stays in the prompt. The
  // copy's keys come after that Return, so the Return found the answer under way.
  typeLine("Too soon");
  ASSERT_EVENTUALLY(testing::copyAll() == "Too soon", 20000);
  m_answersLetGo.add();

  // The welcome conversation holds its greeting; the answer is the second message.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const json file = session();
        return file.is_object() && file["messages"].size() == 2 &&
               file["messages"].back()["finished"] == true;
      },
      30000));
  const json first = chatRequests().front();
  EXPECT_EQ(first["messages"].back()["content"], "What is Tessra?");
  const json welcome = conversations()["conversations"][0];
  EXPECT_EQ(first["model"],
            std::string(apiModelName(welcome["config"]["model"].get<ChatGPTModels>())));
  EXPECT_EQ(first["stream"], true);
  EXPECT_EQ(chatRequests().size(), 1u) << "the second Return found the answer under way";
  const json message = session()["messages"].back();
  EXPECT_EQ(message["question"], "What is Tessra?");
  EXPECT_EQ(message["answer"], kAnswer);

  const std::string shown = pageText();
  EXPECT_NE(shown.find("What is Tessra?"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Café notes"), std::string::npos) << shown;
  EXPECT_NE(shown.find("bold words"), std::string::npos) << shown;
  EXPECT_NE(shown.find("int answer = 42;"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("**"), std::string::npos) << "rendered, not raw Markdown";
  EXPECT_EQ(shown.find("# Café"), std::string::npos);

  // The service refuses the next question: its message reaches the file and the page. A key
  // typed in the page goes to the prompt; Escape there drops the text typed too soon.
  testing::xdotool({"key", "Escape"});
  typeLine("Please fail");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const json file = session();
        return file.is_object() && file["messages"].size() == 3 &&
               file["messages"].back().contains("error");
      },
      20000));
  EXPECT_EQ(session()["messages"].back()["error"], "Incorrect API key provided: sk-e2e***.");
  EXPECT_NE(pageText().find("Incorrect API key provided"), std::string::npos);

  // After a quit and a new start, the conversation shows again.
  quit();
  start();
  const std::string again = pageText();
  EXPECT_NE(again.find("bold words"), std::string::npos) << again;
  EXPECT_NE(again.find("Incorrect API key provided"), std::string::npos) << again;
}

TEST_F(EndToEndTest, TheGlobalShortcutTogglesThePanelAndFollowsTheRecordedOne) {
  const auto shown = [&] { return m_tessra.windows(QStringLiteral("Tessra")).contains(m_panel); };
  const auto toggles = [&](const char* keys) {
    ASSERT_TRUE(shown());
    testing::xdotool({"key", keys});
    ASSERT_EVENTUALLY(!shown(), 5000) << keys;
    testing::xdotool({"key", keys});
    // Shown again, it has the keyboard at once: the user types straight into it.
    ASSERT_EVENTUALLY(shown() && m_tessra.hasKeyboard(), 5000) << keys;
  };
  start();
  toggles("alt+space");
  quit();

  // A shortcut recorded as Ctrl+Alt+K takes over; Alt+Space is the program's no more.
  std::ofstream(m_tessra.configFolder() / "defaults.json")
      << R"({"onboardingPresented": true, )"
      << R"("GlobalShortcuts_openTessraGlobal": "{\"carbonKeyCode\":40,\"carbonModifiers\":6144}"})";
  start();
  testing::xdotool({"key", "alt+space"});
  // A check that nothing happens: a toggle would have started the slide within this time.
  QTest::qWait(500);
  EXPECT_TRUE(shown());
  toggles("ctrl+alt+k");
}

}  // namespace
}  // namespace tessra
