// Keys typed while the program asks something, as people type on without looking: a question card
// over the chat, the search bar, a list or sheet of the panel, the key panel, the settings window.
// Each is asked for with a key or a click and `abc` follows, with no pause or at 20 ms a key right
// after it, or once it is seen. The keys go to what was asked for, in the order typed, never to the
// prompt behind it: the service gets no question, and the question typed next reaches it alone.
// And what the panel opened goes with the panel when it hides: nothing of it stays on the desktop,
// and the keys typed next reach the window the user goes back to.
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
#include <utility>
#include <vector>

#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/json.h"
#include "testing/http_server.h"
#include "testing/panel_user.h"
#include "testing/pointer_grab_watch.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using nlohmann::json;

constexpr int kWaitMs = 20000;
// Where the user clicks, from the panel's top right corner and bottom left one: the answer (to
// show its actions), its Delete action, and the trash button under the messages.
constexpr QPoint kAnswerFromTopRight(-420, 133);
constexpr QPoint kDeleteActionFromTopRight(-242, 163);
constexpr QPoint kTrashFromBottomLeft(119, -120);
// The model's badge, left of the trash button.
constexpr QPoint kBadgeFromBottomLeft(51, -120);
// The emoji's dashed circle in the new conversation's sheet.
constexpr int kEmojiBelowTheSheetsTop = 178;

bool isCardRed(QRgb pixel) {
  return qRed(pixel) > 200 && qGreen(pixel) < 100 && qBlue(pixel) < 100;
}

// A way to ask a question, as xdotool's arguments.
struct Asker {
  const char* name;
  std::function<QStringList()> ask;
};

class KeysWhileAsking : public ::testing::Test {
 protected:
  // Whether the user has stored a key before the start.
  virtual bool storesKey() const { return true; }

  void SetUp() override {
    if (storesKey()) {
      ASSERT_TRUE(m_keychain.set("sk-keys-while-asking", UserSettings::kOpenAiKeyItem).has_value());
    }
    m_server.route("POST", "/v1/chat/completions",
                   testing::ScriptedResponse::streamed({{"data: [DONE]\n\n"}}));
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    testing::writeReturningUsersConversations(m_tessra.dataFolder());
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
    m_panel = testing::focusedWindow();
    m_frame = testing::windowFrame(m_panel);
    m_header = testing::stillPanelHeader(m_frame);
    ASSERT_FALSE(m_header.isNull()) << "the chat never stood still";
  }

  void TearDown() override {
    if (m_tessra.isRunning()) {
      EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
    }
    (void)m_keychain.remove(UserSettings::kOpenAiKeyItem);
  }

  bool slidIn() const {
    return !m_tessra.panel().isEmpty() && testing::panelHeader(m_frame) == m_header;
  }

  // Alt+Space, and the panel has the keyboard.
  void showThePanel() {
    testing::pressKeys("alt+space");
    ASSERT_EVENTUALLY(!m_tessra.panel().isEmpty() && testing::focusedWindow() == m_tessra.panel(),
                      kWaitMs);
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

  // The ways a question card is asked for.
  std::vector<Asker> askers() const {
    return {
        {"Ctrl+R",
         [] {
           return QStringList{"key", "ctrl+r"};
         }},
        {"the trash button",
         [this] { return testing::clickThen(fromBottomLeft(kTrashFromBottomLeft)); }},
        {"a message's Delete",
         [this] {
           // Its actions show while the pointer is over the message.
           const QPoint answer = fromTopRight(kAnswerFromTopRight);
           testing::xdotool(
               {"mousemove", QString::number(answer.x()), QString::number(answer.y())});
           return testing::clickThen(fromTopRight(kDeleteActionFromTopRight));
         }},
    };
  }

  QPoint fromTopRight(QPoint offset) const { return m_frame.topRight() + offset; }
  QPoint fromBottomLeft(QPoint offset) const { return m_frame.bottomLeft() + offset; }
  QPoint fromBottomRight(QPoint offset) const { return m_frame.bottomRight() + offset; }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::TempDir m_home;
  testing::HttpServer m_server;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  QString m_panel;
  QRect m_frame;
  QImage m_header;
};

class KeysWhileAskingForTheKey : public KeysWhileAsking {
 protected:
  bool storesKey() const override { return false; }
};

TEST_F(KeysWhileAsking, AQuestionCardTakesThemAndReturnAnswersItsFocusedButton) {
  QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
  const QStringList typed[] = {{"type", "--delay", "20", "abc\r"},
                               {"key", "--delay", "20", "ctrl+v", "Return"}};
  for (const Asker& asker : askers()) {
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

// A card still asks when the panel hides and shows again: it has the keyboard again, not the
// prompt under it, whether the keys come at once after the showing Alt+Space or once it is seen.
TEST_F(KeysWhileAsking, ACardShownAgainWithThePanelKeepsThem) {
  for (const Asker& asker : askers()) {
    for (const bool atOnce : {true, false}) {
      SCOPED_TRACE(std::string(asker.name) + (atOnce ? ", at once" : ", later"));
      testing::xdotool(asker.ask());
      ASSERT_EVENTUALLY(cardShown(), kWaitMs);
      testing::pressKeys("alt+space");
      ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
      if (atOnce) {
        testing::xdotool({"key", "alt+space", "type", "--delay", "20", "abc\r"});
        ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
      } else {
        ASSERT_NO_FATAL_FAILURE(showThePanel());
        ASSERT_EVENTUALLY(cardShown(), kWaitMs);
        testing::xdotool({"type", "--delay", "20", "abc\r"});
      }
      // Return cancelled the card, and the keyboard is back in the prompt, which holds nothing
      // typed at the card.
      testing::xdotool({"type", "x"});
      EXPECT_EQ(testing::copyAll().toStdString(), "x");
      testing::xdotool({"key", "BackSpace"});
      ASSERT_EVENTUALLY(slidIn(), kWaitMs);
      EXPECT_EQ(m_server.requests().size(), 0u);
      EXPECT_EQ(storedMessages(), 1u);
    }
  }
  expectTheNextQuestionAlone();
}

TEST_F(KeysWhileAsking, TheSearchBarsFieldGetsThemFromCtrlFInTheOrderTyped) {
  testing::xdotool({"key", "ctrl+f", "type", "--delay", "20", "abc\r"});
  EXPECT_EQ(testing::copyAll().toStdString(), "abc");
  // Escape empties the field, then closes the bar.
  testing::xdotool({"key", "--delay", "20", "Escape", "Escape"});
  // The same typed with no pause: the first Escape still only empties the field.
  testing::xdotool(
      {"key", "--delay", "0", "ctrl+f", "a", "b", "c", "Escape", "d", "e", "f", "Return"});
  EXPECT_EQ(testing::copyAll().toStdString(), "def");
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

// The lists and sheets of the panel are windows of their own, which take the keyboard a moment
// after they show: the keys typed before that, with no pause after the key that opened them, are
// theirs all the same.
TEST_F(KeysWhileAsking, TheListsAndSheetsGetThoseTypedBeforeTheyHaveTheKeyboard) {
  for (int time = 0; time < 3; ++time) {
    // The conversation list, the topics, and a new conversation.
    for (const char* ask : {"ctrl+k", "ctrl+t", "ctrl+n"}) {
      SCOPED_TRACE(std::string(ask) + ", time " + std::to_string(time));
      testing::xdotool({"key", "--delay", "0", ask, "a", "b", "c"});
      ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && testing::focusedWindow() != m_tessra.panel(),
                        kWaitMs);
      EXPECT_EQ(testing::copyAll().toStdString(), "abc");
      testing::pressKeys("Escape");
      ASSERT_EVENTUALLY(testing::focusedWindow() == m_tessra.panel(), kWaitMs);
    }
  }
  expectTheNextQuestionAlone();
}

// With no key stored, Return opens the key panel, which gets what is typed after it; the question
// stays in the prompt as it was.
TEST_F(KeysWhileAskingForTheKey, TheKeyPanelGetsThoseTypedAfterReturn) {
  testing::xdotool({"type", "--delay", "20", "why"});
  for (int time = 0; time < 3; ++time) {
    SCOPED_TRACE(time);
    testing::xdotool({"key", "--delay", "0", "Return", "a", "b", "c"});
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && testing::focusedWindow() != m_tessra.panel(),
                      kWaitMs);
    EXPECT_EQ(testing::copyAll().toStdString(), "abc");
    testing::pressKeys("Escape");
    ASSERT_EVENTUALLY(testing::focusedWindow() == m_tessra.panel(), kWaitMs);
    EXPECT_EQ(testing::copyAll().toStdString(), "why");
  }
  EXPECT_TRUE(m_server.requests().empty());
}

// Whatever the panel opened goes with it when it hides: nothing of the panel stays on the desktop,
// the keys typed at once after the hiding Alt+Space reach the terminal the user goes back to, and
// the panel shows again with nothing of it open.
TEST_F(KeysWhileAsking, WhatThePanelOpenedGoesWithItAndTheKeysAfterReachTheTerminal) {
  // The user works in a terminal: a click into it closes the panel.
  testing::RecordingTerminal terminal(m_home.path() / "terminal-read");
  ASSERT_TRUE(terminal.clickInto());
  ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
  // The side button, and on some trays the icon.
  const QStringList alone = m_tessra.windows();
  const std::pair<const char*, QStringList> openers[] = {
      {"the topic list", {"key", "ctrl+t"}},
      {"the conversation switcher", {"key", "ctrl+k"}},
      {"a new conversation", {"key", "ctrl+n"}},
      {"the conversation's settings", testing::clickThen(fromBottomLeft(kBadgeFromBottomLeft))},
      {"the attachment menu", testing::clickThen(fromBottomRight(testing::kAttachFromBottomRight))},
  };
  std::string typed;
  for (const auto& [name, open] : openers) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(showThePanel());
    ASSERT_EVENTUALLY(slidIn(), kWaitMs);
    testing::xdotool(open);
    // The panel stands in for the side button, and what it opened comes on top.
    ASSERT_EVENTUALLY(m_tessra.windows().size() > alone.size(), kWaitMs) << "nothing opened";
    testing::xdotool({"key", "--delay", "20", "alt+space", "o", "k", "Return"});
    typed += "ok\r";
    ASSERT_EVENTUALLY_EQ(terminal.read(), typed, kWaitMs);
    // The side button is back, a window of its own again, and nothing else.
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty() && m_tessra.windows().size() == alone.size(),
                      kWaitMs)
        << m_tessra.windows().join(u' ').toStdString();
  }
  ASSERT_NO_FATAL_FAILURE(showThePanel());
  EXPECT_EQ(m_tessra.windows().size(), alone.size());
  expectTheNextQuestionAlone();
}

// A click on another window hides the panel, and what it opened goes with it unanswered, as its
// Cancel would: the file dialog chooses nothing, the side list's question deletes nothing. A click
// outside the emoji palette closes only the palette, as one outside a menu closes only the menu;
// the next one hides the panel. Nothing of the panel stays on screen, and the keys typed after
// the click reach the terminal clicked.
TEST_F(KeysWhileAsking, AClickOnAnotherWindowTakesWhatThePanelOpenedAlongUnanswered) {
  testing::RecordingTerminal terminal(m_home.path() / "terminal-read");
  ASSERT_TRUE(terminal.clickInto());
  ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
  // The side button, and on some trays the icon.
  const QStringList alone = m_tessra.windows();
  const auto asked = [this] {
    return m_tessra.hasKeyboard() && testing::focusedWindow() != m_tessra.panel();
  };
  // Opens a menu of the panel and chooses an entry with a key, for what takes the keyboard.
  const auto choose = [&](const QStringList& openMenu, const char* entry) {
    testing::xdotool(openMenu);
    ASSERT_EVENTUALLY(m_tessra.windows().size() > alone.size(), kWaitMs) << "no menu";
    testing::xdotool({"key", "--delay", "100", entry, "Return"});
    ASSERT_EVENTUALLY(asked(), kWaitMs);
  };
  const QPoint row = fromTopRight(testing::kFirstConversationFromTopRight);
  const struct {
    const char* name;
    std::function<void()> ask;
    // Whether it is a popup, which a first click outside closes alone.
    bool popup;
  } askers[] = {
      // "Upload File", the attachment menu's first entry.
      {"the file dialog",
       [&] {
         choose(testing::clickThen(fromBottomRight(testing::kAttachFromBottomRight)), "Down");
       },
       false},
      // "Delete", the last entry of a conversation's menu.
      {"the side list's question",
       [&] {
         choose({"mousemove", QString::number(row.x()), QString::number(row.y()), "click", "3"},
                "Up");
       },
       false},
      {"the emoji palette",
       [&] {
         testing::pressKeys("ctrl+n");
         ASSERT_EVENTUALLY(asked(), kWaitMs) << "no sheet";
         const QRect sheet = testing::windowFrame(testing::topLevelOf(testing::focusedWindow()));
         const qsizetype withTheSheet = m_tessra.windows().size();
         testing::xdotool(
             testing::clickThen({sheet.center().x(), sheet.top() + kEmojiBelowTheSheetsTop}));
         testing::PointerGrabWatch grab;
         testing::xdotool({"sleep", "0.3", "key", "Return"});
         ASSERT_EVENTUALLY(m_tessra.windows().size() > withTheSheet, kWaitMs) << "no palette";
         // Mapped, the palette takes the pointer a moment later, before it is drawn: a click
         // before that is one on the window under it.
         ASSERT_EVENTUALLY(grab.grabbed(), kWaitMs) << "the palette never took the pointer";
       },
       true},
  };
  std::string typed;
  for (const auto& [name, ask, popup] : askers) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(showThePanel());
    ASSERT_EVENTUALLY(slidIn(), kWaitMs);
    ASSERT_NO_FATAL_FAILURE(ask());
    if (popup) {
      const qsizetype shown = m_tessra.windows().size();
      const QRect frame = testing::windowFrame(terminal.window());
      testing::clickAt(frame.center().x(), frame.center().y());
      ASSERT_EVENTUALLY(m_tessra.windows().size() == shown - 1, kWaitMs) << "closes it alone";
    }
    ASSERT_TRUE(terminal.clickInto());
    testing::xdotool({"type", "--delay", "20", "ok\r"});
    typed += "ok\r";
    ASSERT_EVENTUALLY_EQ(terminal.read(), typed, kWaitMs);
    ASSERT_EVENTUALLY(m_tessra.panel().isEmpty() && m_tessra.windows().size() == alone.size(),
                      kWaitMs)
        << m_tessra.windows().join(u' ').toStdString();
  }
  // Neither deleted nor made.
  EXPECT_EQ(testing::storedConversations(m_tessra.dataFolder()), 2u);
  ASSERT_NO_FATAL_FAILURE(showThePanel());
  expectTheNextQuestionAlone();
}

}  // namespace
}  // namespace tessra
