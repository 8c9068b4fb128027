// The program's windows as a user meets them on a desktop with a window manager and a tray: the
// page painted at its first show, questions standing above the panel, the keyboard where the user
// clicks, a right click that only opens the menu. Driven with real clicks and keys; the prompt is
// read back through the clipboard, the page through the screen's pixels.
#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "Tessra/chat_window/chat_window_test_support.h"
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
using testing::focusedWindow;
namespace fs = std::filesystem;

constexpr const char* kKey = "sk-end-to-end-windows";

void key(const QString& keys) { testing::xdotool({QStringLiteral("key"), keys}); }
void type(const QString& text) { testing::xdotool({QStringLiteral("type"), text}); }

// How many pixels of `area` (screen pixels) are light, like text on the page's dark background.
int lightPixels(const QRect& area) {
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                          .toImage();
  int light = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (qGray(shot.pixel(x, y)) > 180) ++light;
  return light;
}

class WindowsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set(kKey, UserSettings::kOpenAiKeyItem).has_value());
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  // Starts the program and waits until its panel has the keyboard.
  void start() {
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), 20000);
    m_panel = focusedWindow();
    m_frame = testing::windowFrame(m_panel);
  }

  // Two conversations, "first" the one shown.
  void seedConversations() {
    const fs::path data = m_tessra.dataFolder();
    fs::create_directories(data);
    json list = {{"conversations", json::array()}, {"latestSessionID", "first"}};
    for (const char* id : {"first", "second"}) {
      const std::string name = std::string(id == std::string("first") ? "🍎 " : "🍐 ") + id;
      list["conversations"].push_back({{"id", id}, {"name", name}});
      std::ofstream(data / (std::string(id) + ".json"))
          << json{{"id", id}, {"name", name}, {"messages", json::array()}}.dump();
    }
    std::ofstream(data / "conversations.json") << list.dump();
  }
  json storedFile(const std::string& name) const {
    std::ifstream file(m_tessra.dataFolder() / name);
    return json::parse(file, nullptr, false);
  }

  QStringList programWindows() const {
    return testing::xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--pid"), QString::number(m_tessra.pid())})
        .split('\n', Qt::SkipEmptyParts);
  }
  bool panelShown() const { return programWindows().contains(m_panel); }

  // Right-clicks the side list's row (36 pixels each, at the panel's right edge), waits for the
  // menu and chooses its last item, Delete; waits for the question and gives its window.
  QString askToDeleteRow(int row) {
    const int windows = static_cast<int>(programWindows().size());
    testing::clickAt(m_frame.right() - 100, m_frame.top() + 18 + 36 * row, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return programWindows().size() > windows; }, 5000))
        << "the menu opens";
    key(QStringLiteral("Up"));
    key(QStringLiteral("Return"));
    return m_tessra.waitForWindow(QStringLiteral("Confirm Deletion"));
  }

  // What the prompt holds: Ctrl+A and Ctrl+C in it, then the clipboard.
  QString promptText() { return testing::copyAll(); }

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  QString m_panel;
  QRect m_frame;
};

TEST_F(WindowsEndToEndTest, ThePageIsPaintedAtItsFirstShow) {
  start();
  // The welcome conversation's text, below the header and left of the side list.
  const QRect page(m_frame.left() + 16, m_frame.top() + 60, 400, 300);
  ASSERT_EVENTUALLY(lightPixels(page) > 500, 20000);
}

TEST_F(WindowsEndToEndTest, ADeleteQuestionStandsAboveThePanelAndARightClickSwitchesNothing) {
  std::string answer;
  std::vector<std::string> pieces;
  for (int i = 0; i < 60; ++i) pieces.push_back("word" + std::to_string(i) + " ");
  for (const std::string& piece : pieces) answer += piece;
  m_server.route("POST", "/v1/chat/completions", [&](const testing::RecordedRequest&) {
    return chat_window_test::streamedAnswer(pieces, std::chrono::milliseconds(100));
  });
  seedConversations();
  start();
  type(QStringLiteral("Tell me a story"));
  ASSERT_EQ(promptText(), "Tell me a story");
  key(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(!m_server.requests().empty(), 20000);

  // Asked while the answer streams: the question is mapped above the panel and has the keyboard
  // before any key is pressed.
  const QString question = askToDeleteRow(1);
  ASSERT_FALSE(question.isEmpty());
  ASSERT_EVENTUALLY(focusedWindow() == question, 5000);
  const QStringList order = testing::stackingOrder();
  EXPECT_GT(order.indexOf(testing::topLevelOf(question)),
            order.indexOf(testing::topLevelOf(m_panel)));
  EXPECT_EQ(storedFile("conversations.json")["latestSessionID"], "first")
      << "the right click switched nothing";

  // A click on the question leaves the panel; Escape cancels, and the panel has the keyboard.
  const QRect frame = testing::windowFrame(question);
  testing::clickAt(frame.left() + 8, frame.top() + 8);
  key(QStringLiteral("Escape"));
  ASSERT_EVENTUALLY(m_tessra.windows(QStringLiteral("Confirm Deletion")).isEmpty(), 5000);
  EXPECT_TRUE(panelShown());
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);

  // Return answers Cancel too.
  ASSERT_FALSE(askToDeleteRow(1).isEmpty());
  key(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(m_tessra.windows(QStringLiteral("Confirm Deletion")).isEmpty(), 5000);
  EXPECT_EQ(storedFile("conversations.json")["conversations"].size(), 2u);

  // The answer streamed on to its end in the conversation it was asked in.
  ASSERT_EVENTUALLY(storedFile("first.json")["messages"].size() == 1 &&
                        storedFile("first.json")["messages"][0]["finished"] == true,
                    20000);
  EXPECT_EQ(storedFile("first.json")["messages"][0]["answer"], answer);
}

TEST_F(WindowsEndToEndTest, TheKeyboardComesBackToThePrompt) {
  start();
  // Shortcuts work as soon as the panel shows; the switcher gives the keyboard back as it goes.
  key(QStringLiteral("ctrl+k"));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && focusedWindow() != m_panel, 5000);
  key(QStringLiteral("Escape"));
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
  type(QStringLiteral("hello"));
  EXPECT_EQ(promptText(), "hello");

  // Pinned, the panel stays while another program takes the keyboard; a click into the prompt
  // takes it back.
  key(QStringLiteral("ctrl+p"));
  QLineEdit other;
  other.setGeometry(100, 100, 400, 100);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  const QString otherWindow = QString::number(other.winId());
  const QRect otherFrame = testing::windowFrame(otherWindow);
  testing::clickAt(otherFrame.center().x(), otherFrame.center().y());
  ASSERT_EVENTUALLY(focusedWindow() == otherWindow, 5000);
  testing::clickAt(m_frame.left() + 250, m_frame.bottom() - 78);
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
  type(QStringLiteral(" world"));
  EXPECT_EQ(promptText(), "hello world");
  EXPECT_TRUE(other.text().isEmpty());
}

}  // namespace
}  // namespace tessra
