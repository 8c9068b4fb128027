// The program as a user meets it: the built `tessra` on the test display with folders of its own,
// the service played by a loopback server, the key in the session's keyring. The test types with
// real X key events, reads what the page shows through the clipboard, and checks the request and
// the session file.
#include <QApplication>
#include <QClipboard>
#include <QProcess>
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
#include "testing/http_server.h"
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

// Runs xdotool with these arguments; its output.
std::string xdotool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("xdotool"), arguments);
  process.waitForFinished(10000);
  return process.readAllStandardOutput().trimmed().toStdString();
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"data", "config", "cache"}) fs::create_directories(m_home / folder);
    // Past the onboarding, with the key stored where the program looks for it.
    fs::create_directories(m_home / "config" / "TessraAI");
    std::ofstream(m_home / "config" / "TessraAI" / "defaults.json")
        << R"({"onboardingPresented": true})";
    ASSERT_TRUE(m_keychain.set(kKey, UserSettings::kOpenAiKeyItem).has_value());

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
      // Slowly, cut at awkward places: inside lines, events and multi-byte characters.
      return ScriptedResponse::streamed(testing::splitEvery(events, 23, 15ms));
    });
  }

  void TearDown() override {
    quit();
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  void start() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(m_home / "data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       QString::fromStdString(m_home / "config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString(m_home / "cache"));
    environment.insert(QStringLiteral("TESSRA_AI_BASE_URL"),
                       QString::fromStdString(m_server.baseUrl()));
    m_program.setProcessEnvironment(environment);
    m_program.setProcessChannelMode(QProcess::ForwardedChannels);
    m_program.start(QStringLiteral(TESSRA_BINARY), {});
    ASSERT_TRUE(m_program.waitForStarted(10000));
    // The panel slides in and takes the keyboard: the focused X window is the program's.
    const QString pid = QString::number(m_program.processId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          return xdotool({"getwindowfocus", "getwindowpid"}) == pid.toStdString() &&
                 fs::exists(m_home / "data" / "TessraAI" / "conversations.json");
        },
        20000));
    // The slide and the page settle.
    QTest::qWait(1500);
  }

  void quit() {
    if (m_program.state() == QProcess::NotRunning) return;
    m_program.terminate();
    if (!m_program.waitForFinished(10000)) m_program.kill();
    m_program.waitForFinished(5000);
  }

  json conversations() const {
    std::ifstream file(m_home / "data" / "TessraAI" / "conversations.json");
    return json::parse(file);
  }
  json session() const {
    const std::string id = conversations()["latestSessionID"];
    std::ifstream file(m_home / "data" / "TessraAI" / (id + ".json"));
    return file ? json::parse(file, nullptr, false) : json();
  }
  std::vector<json> chatRequests() const {
    std::vector<json> bodies;
    for (const RecordedRequest& r : m_server.requests())
      if (r.path == "/v1/chat/completions") bodies.push_back(json::parse(r.body));
    return bodies;
  }

  // Gives the panel the keyboard back when another window on the shared display took it.
  void focusProgram() {
    const std::string pid = std::to_string(m_program.processId());
    const auto ours = [&] { return xdotool({"getwindowfocus", "getwindowpid"}) == pid; };
    if (ours()) return;
    const QString windows = QString::fromStdString(
        xdotool({"search", "--onlyvisible", "--pid", QString::fromStdString(pid)}));
    for (const QString& window : windows.split('\n', Qt::SkipEmptyParts))
      xdotool({"windowfocus", window});
    EXPECT_TRUE(QTest::qWaitFor(ours, 5000)) << "the panel has the keyboard";
  }

  // Types a line into the panel and presses Return, as the user would.
  void typeLine(const std::string& text) {
    focusProgram();
    xdotool({"type", "--delay", "15", QString::fromStdString(text)});
    xdotool({"key", "Return"});
  }

  // What the page shows: a click into it, Ctrl+A, Ctrl+C, and the clipboard.
  std::string pageText() {
    const std::string geometry = xdotool({"getwindowfocus", "getwindowgeometry", "--shell"});
    int x = 0, y = 0, width = 0, height = 0;
    for (const QString& line : QString::fromStdString(geometry).split('\n')) {
      const int value = line.section('=', 1).toInt();
      if (line.startsWith("X=")) x = value;
      if (line.startsWith("Y=")) y = value;
      if (line.startsWith("WIDTH=")) width = value;
      if (line.startsWith("HEIGHT=")) height = value;
    }
    QGuiApplication::clipboard()->clear();
    xdotool({"mousemove", QString::number(x + width / 2), QString::number(y + height / 3), "click",
             "1"});
    QTest::qWait(300);
    xdotool({"key", "ctrl+a"});
    xdotool({"key", "ctrl+c"});
    std::string text;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          text = QGuiApplication::clipboard()->text().toStdString();
          return !text.empty();
        },
        5000));
    return text;
  }

  testing::TempDir m_dir;
  fs::path m_home = m_dir.path();
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  HttpServer m_server;
  QProcess m_program;
};

TEST_F(EndToEndTest, AQuestionTypedInThePanelStreamsItsAnswerIntoThePageAndTheFile) {
  start();
  typeLine("What is Tessra?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !chatRequests().empty(); }, 20000));
  // Return again while the answer streams sends nothing.
  typeLine("Too soon");

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

  // The service refuses the next question: its message reaches the file and the page.
  focusProgram();
  xdotool({"key", "Escape"});  // the text typed too soon is dropped
  QTest::qWait(200);
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

// Whether the window is mapped: the panel slides out and is unmapped when it closes.
bool isViewable(const std::string& window, const std::string& pid) {
  const QString visible = QString::fromStdString(
      xdotool({"search", "--onlyvisible", "--pid", QString::fromStdString(pid)}));
  return visible.split('\n', Qt::SkipEmptyParts).contains(QString::fromStdString(window));
}

TEST_F(EndToEndTest, TheGlobalShortcutTogglesThePanelAndFollowsTheRecordedOne) {
  const auto toggles = [&](const char* keys) {
    const std::string pid = std::to_string(m_program.processId());
    const std::string panel = xdotool({"getwindowfocus"});
    ASSERT_TRUE(isViewable(panel, pid));
    xdotool({"key", keys});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isViewable(panel, pid); }, 5000)) << keys;
    xdotool({"key", keys});
    // Shown again, it has the keyboard at once: the user types straight into it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return isViewable(panel, pid) && xdotool({"getwindowfocus"}) == panel; }, 5000))
        << keys;
  };
  start();
  toggles("alt+space");
  quit();

  // A shortcut recorded as Ctrl+Alt+K takes over; Alt+Space is the program's no more.
  std::ofstream(m_home / "config" / "TessraAI" / "defaults.json")
      << R"({"onboardingPresented": true, )"
      << R"("GlobalShortcuts_openTessraGlobal": "{\"carbonKeyCode\":40,\"carbonModifiers\":6144}"})";
  start();
  const std::string pid = std::to_string(m_program.processId());
  const std::string panel = xdotool({"getwindowfocus"});
  xdotool({"key", "alt+space"});
  QTest::qWait(500);  // what a toggle would take to start the slide
  EXPECT_TRUE(isViewable(panel, pid));
  toggles("ctrl+alt+k");
}

}  // namespace
}  // namespace tessra
