// Keys typed while the program asks something, as people type on without looking: a question card
// over the chat, the search bar, the settings window. Each is asked for with a key or a click and
// `abc` with Return follows, at 20 ms a key right after it or once the card is seen. The keys go
// to what was asked for, never to the prompt behind it: the service gets no question, and the
// question typed next reaches it alone.
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
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
// Where the user clicks, from the panel's top right corner and bottom left one: the answer (to
// show its actions), its Delete action, and the trash button under the messages.
constexpr QPoint kAnswerFromTopRight(-420, 133);
constexpr QPoint kDeleteActionFromTopRight(-242, 163);
constexpr QPoint kTrashFromBottomLeft(119, -120);

bool isCardRed(QRgb pixel) {
  return qRed(pixel) > 200 && qGreen(pixel) < 100 && qBlue(pixel) < 100;
}

class KeysWhileAsking : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-keys-while-asking", UserSettings::kOpenAiKeyItem).has_value());
    m_server.route("POST", "/v1/chat/completions",
                   testing::ScriptedResponse::streamed({{"data: [DONE]\n\n"}}));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    // A returning user's conversation, one question answered.
    const fs::path data = m_tessra.dataFolder();
    fs::create_directories(data);
    std::ofstream(data / "notes.json")
        << json{{"id", "notes"},
                {"name", "Sorting notes"},
                {"messages", json::array({{{"id", "m1"},
                                           {"type", "message"},
                                           {"question", "How do I sort my notes?"},
                                           {"shortQuestion", "How do I sort my notes?"},
                                           {"answer", "By date, then by topic."},
                                           {"finished", true},
                                           {"endContext", false}}})}}
               .dump();
    std::ofstream(data / "conversations.json") << json{
        {"conversations", json::array({{{"id", "notes"}, {"name", "Sorting notes"}}})},
        {"latestSessionID", "notes"}}.dump();
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
    m_panel = testing::focusedWindow();
    m_frame = testing::windowFrame(m_panel);
  }

  void TearDown() override {
    if (m_tessra.isRunning()) {
      EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
    }
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  // The card's confirm button, a red area larger than any red text (a hovered Delete action).
  bool cardShown() const {
    const QImage shot =
        QGuiApplication::primaryScreen()
            ->grabWindow(0, m_frame.x(), m_frame.y(), m_frame.width(), m_frame.height())
            .toImage();
    int red = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (isCardRed(shot.pixel(x, y))) ++red;
    return red > 1000;
  }

  std::size_t storedMessages() const {
    std::ifstream file(m_tessra.dataFolder() / "notes.json");
    const json session = json::parse(file, nullptr, false);
    return session.is_object() ? session["messages"].size() : 0;
  }

  // The user types a question and Return: it must reach the service as the first one, with
  // nothing typed before it in the prompt.
  void expectTheNextQuestionAlone() {
    EXPECT_EQ(m_server.requests().size(), 0u);
    testing::xdotool({"type", "--delay", "20", "ok\r"});
    ASSERT_EVENTUALLY(!m_server.requests().empty(), kWaitMs);
    EXPECT_EQ(json::parse(m_server.requests()[0].body)["messages"].back()["content"], "ok");
  }

  QPoint fromTopRight(QPoint offset) const { return m_frame.topRight() + offset; }
  QPoint fromBottomLeft(QPoint offset) const { return m_frame.bottomLeft() + offset; }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::TempDir m_home;
  testing::HttpServer m_server;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
  QRect m_frame;
};

QStringList clickThen(QPoint at) {
  return {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"};
}

TEST_F(KeysWhileAsking, AQuestionCardTakesThemAndReturnAnswersItsFocusedButton) {
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
  struct Asker {
    const char* name;
    std::function<QStringList()> ask;
  };
  const Asker askers[] = {
      {"Ctrl+R",
       [] {
         return QStringList{"key", "ctrl+r"};
       }},
      {"the trash button", [&] { return clickThen(fromBottomLeft(kTrashFromBottomLeft)); }},
      {"a message's Delete",
       [&] {
         // Its actions show while the pointer is over the message.
         testing::xdotool({"mousemove", QString::number(fromTopRight(kAnswerFromTopRight).x()),
                           QString::number(fromTopRight(kAnswerFromTopRight).y())});
         return clickThen(fromTopRight(kDeleteActionFromTopRight));
       }},
  };
  const QStringList typed[] = {{"type", "--delay", "20", "abc\r"},
                               {"key", "--delay", "20", "ctrl+v", "Return"}};
  for (const Asker& asker : askers) {
    for (const bool atOnce : {true, false}) {
      for (const QStringList& keys : typed) {
        SCOPED_TRACE(std::string(asker.name) + (atOnce ? ", at once, " : ", later, ") +
                     keys.last().toStdString());
        if (atOnce) {
          testing::xdotool(asker.ask() + keys);
        } else {
          testing::xdotool(asker.ask());
          ASSERT_EVENTUALLY(cardShown(), kWaitMs);
          testing::xdotool(keys);
        }
        // Return cancels: the card goes, and with it nothing.
        ASSERT_EVENTUALLY(!cardShown(), kWaitMs);
        EXPECT_EQ(m_server.requests().size(), 0u);
        EXPECT_EQ(storedMessages(), 1u);
      }
    }
  }
  expectTheNextQuestionAlone();
}

TEST_F(KeysWhileAsking, TheSearchBarsFieldGetsThemFromCtrlF) {
  testing::xdotool({"key", "ctrl+f", "type", "--delay", "20", "abc\r"});
  EXPECT_EQ(testing::copyAll().toStdString(), "abc");
  // Escape empties the field, then closes the bar.
  testing::xdotool({"key", "--delay", "20", "Escape", "Escape"});
  expectTheNextQuestionAlone();
}

TEST_F(KeysWhileAsking, TheSettingsWindowOpenedWithCtrlCommaLeavesNoneInThePrompt) {
  for (int time = 0; time < 3; ++time) {
    SCOPED_TRACE(time);
    testing::xdotool({"key", "ctrl+comma", "type", "--delay", "0", "abc\r"});
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs)
        << "the settings window has the keyboard";
    testing::pressKeys("alt+space");
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && testing::focusedWindow() == m_tessra.panel(),
                      kWaitMs);
  }
  testing::pressKeys("Return");
  expectTheNextQuestionAlone();
}

// The sheets, lists and menus that already kept their keys keep them: whatever the keys do there,
// none reaches the prompt, and the service gets no question.
TEST_F(KeysWhileAsking, TheOtherSheetsListsAndMenusKeepThem) {
  // The conversation list, the topics, and a new conversation (named "abc" last).
  for (const char* ask : {"ctrl+k", "ctrl+t", "ctrl+n"}) {
    SCOPED_TRACE(ask);
    testing::xdotool({"key", ask, "type", "--delay", "20", "abc\r"});
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && m_tessra.hasKeyboard(), kWaitMs);
    // Escape closes what is open, empties the prompt, then hides the panel.
    for (int escapes = 0; escapes < 5 && !m_tessra.panel().isEmpty(); ++escapes) {
      testing::pressKeys("Escape");
      (void)QTest::qWaitFor([&] { return m_tessra.panel().isEmpty(); }, 1000);
    }
    ASSERT_TRUE(m_tessra.panel().isEmpty());
    testing::pressKeys("alt+space");
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && testing::focusedWindow() == m_tessra.panel(),
                      kWaitMs);
  }
  expectTheNextQuestionAlone();
}

}  // namespace
}  // namespace tessra
