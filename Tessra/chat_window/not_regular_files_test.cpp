// The built program where a named pipe stands in place of one of its files, on the small real
// desktop: it never waits on the pipe, tells the user as for any file it cannot read, and loses
// nothing. Driven with real keys and clicks; what the prompt and the chat's notice hold is read
// back through the clipboard.
#include <sys/stat.h>

#include <QTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using nlohmann::json;
using testing::focusedWindow;
namespace fs = std::filesystem;

class NotRegularFilesTest : public ::testing::Test {
 protected:
  fs::path data() const { return m_tessra.dataFolder(); }

  void makePipe(const std::string& name) {
    fs::create_directories(data());
    ASSERT_EQ(::mkfifo((data() / name).c_str(), 0600), 0);
  }

  // Starts the program and waits until its panel, which shows at start, has the keyboard: a
  // program waiting on a pipe never gets there.
  void start() {
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), 20000);
    m_panel = focusedWindow();
  }

  // The panel answers: what the user types reaches its prompt.
  void expectThePanelAnswers(const QString& text) {
    ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
    testing::typeText(text);
    EXPECT_EQ(testing::copyAll(), text);
  }

  bool logged(const char* text) const { return m_tessra.log().contains(QString::fromUtf8(text)); }

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
};

TEST_F(NotRegularFilesTest, AConversationListThatIsAPipeIsSetAsideAndTheWelcomeSeeded) {
  makePipe("conversations.json");
  start();

  // Told as for any list that cannot be read, with the reason.
  EXPECT_TRUE(logged("\"Failed to read the conversation list\"")) << m_tessra.log().toStdString();
  EXPECT_TRUE(logged("open: Not a regular file"));
  EXPECT_TRUE(logged("Moved the unreadable conversation list aside"));
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(data()))
    if (entry.path().filename().string().starts_with("conversations.json.unreadable-"))
      aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_TRUE(fs::is_fifo(aside.front())) << "set aside as it is";
  const json list = json::parse(std::ifstream(data() / "conversations.json"), nullptr, false);
  EXPECT_EQ(list["latestSessionID"], "welcome");
  expectThePanelAnswers(QStringLiteral("Hello"));
}

TEST_F(NotRegularFilesTest, ASessionFileThatIsAPipeCannotBeReadAndTheChatSaysSo) {
  makePipe("second.json");
  const json list = {
      {"conversations",
       {{{"id", "first"}, {"name", "🍎 Apples"}}, {{"id", "second"}, {"name", "🍐 Pears"}}}},
      {"latestSessionID", "first"}};
  std::ofstream(data() / "first.json")
      << json{{"id", "first"}, {"name", "🍎 Apples"}, {"messages", json::array()}}.dump();
  std::ofstream(data() / "conversations.json") << list.dump();
  start();

  // Ctrl+K, part of the name and Return, as the user switches.
  testing::pressKeys(QStringLiteral("ctrl+k"));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && focusedWindow() != m_panel, 5000);
  testing::typeText(QStringLiteral("Pears"));
  testing::pressKeys(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(logged("The conversation \"second\" cannot be shown"), 10000);
  expectThePanelAnswers(QStringLiteral("Still here"));
  // The chat says so above its toolbar, with the file and the reason, which the user can copy.
  const QRect frame = testing::windowFrame(m_panel);
  const auto noticeLine = [&](int fromBottom) {
    testing::clickAt(frame.left() + 100, frame.bottom() - fromBottom);
    return testing::copyAll().toStdString();
  };
  EXPECT_TRUE(noticeLine(190).starts_with("This conversation could not be read from its file."));
  EXPECT_EQ(noticeLine(157), (data() / "second.json").string() + ": Not a regular file");
  EXPECT_TRUE(fs::is_fifo(data() / "second.json")) << "nothing written into it";
}

}  // namespace
}  // namespace tessra
