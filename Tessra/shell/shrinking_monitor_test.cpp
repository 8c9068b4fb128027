// The monitor under the shown panel gets smaller, as when its resolution is lowered or a smaller
// monitor takes its place, on a wide screen split into monitors: the program keeps running, the
// panel moves and shrinks into the monitor, also while an answer streams, and the next question is
// answered. Hidden, the panel leaves its side button, which follows the monitor too. A menu,
// dialog, question or list the panel opened moves with the panel, as does the keyboard; a change
// beside the panel's monitor leaves it open where it stands, with what the user typed in it.
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
#include "testing/panel_user.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using namespace std::chrono_literals;
using testing::TestDesktop;

constexpr int kWaitMs = 20000;
const QRect kWhole(0, 0, TestDesktop::kMonitorWidth, TestDesktop::kMonitorHeight);
const QRect kSmall(0, 0, 1280, 720);
// The first monitor at a higher and a lower resolution of the same height.
const QRect kWide(0, 0, 2560, TestDesktop::kMonitorHeight);
const QRect kNarrow(0, 0, 1600, TestDesktop::kMonitorHeight);
// How far the side button reaches beyond the monitor's edge.
constexpr int kButtonBeyondEdge = 28;
const std::string kLongQuestion = "Tell me a long story";

bool xrandr(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("xrandr"), arguments) == 0;
}

// A monitor's frame as xrandr takes it, at the test desktop's pixels per millimetre.
QString monitorGeometry(const QRect& frame) {
  return QStringLiteral("%1/%2x%3/%4+%5+%6")
      .arg(frame.width())
      .arg(frame.width() * 508 / TestDesktop::kMonitorWidth)
      .arg(frame.height())
      .arg(frame.height() * 286 / TestDesktop::kMonitorHeight)
      .arg(frame.left())
      .arg(frame.top());
}

// Gives the first monitor, the one of the display's output, a new frame. The server lends an
// output to one monitor at a time: the monitor goes, the output's own monitor (the whole screen)
// stands for a moment, and the monitor comes back.
bool setFirstMonitor(const QRect& frame) {
  return xrandr({QStringLiteral("--delmonitor"), QStringLiteral("tessra-1")}) &&
         xrandr({QStringLiteral("--setmonitor"), QStringLiteral("tessra-1"), monitorGeometry(frame),
                 QStringLiteral("screen")});
}

// The monitors as the server has them now.
std::vector<QRect> monitors() {
  QProcess list;
  list.start(QStringLiteral("xrandr"), {QStringLiteral("--listmonitors")});
  list.waitForFinished();
  static const QRegularExpression kFrame(QStringLiteral(R"((\d+)/\d+x(\d+)/\d+\+(\d+)\+(\d+))"));
  std::vector<QRect> frames;
  for (auto match = kFrame.globalMatch(QString::fromUtf8(list.readAllStandardOutput()));
       match.hasNext();) {
    const QRegularExpressionMatch frame = match.next();
    frames.emplace_back(frame.captured(3).toInt(), frame.captured(4).toInt(),
                        frame.captured(1).toInt(), frame.captured(2).toInt());
  }
  return frames;
}

class ShrinkingMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set("sk-shrinking-monitor", UserSettings::kOpenAiKeyItem).has_value());
    // The user's one monitor at the left of the wide screen. A second one to its right would take
    // the panel, which the whole screen's monitor places at its right edge for the moment it
    // stands.
    ASSERT_TRUE(xrandr({QStringLiteral("--delmonitor"), QStringLiteral("tessra-2")}));
    // The user works on the first monitor.
    testing::xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("300")});
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs);
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  QRect frameOf(const QString& window) const {
    return window.isEmpty() ? QRect() : testing::windowFrame(window);
  }
  QRect panel() const { return frameOf(m_tessra.panel()); }
  QRect sideButton() const {
    const QStringList buttons = m_tessra.windows(QStringLiteral("Tessra Button"));
    return frameOf(buttons.isEmpty() ? QString() : buttons.first());
  }

  // Where the Parts place the shown panel on `monitor`: at its right edge, from its top down to
  // its work area's bottom, which the tray's bar may keep.
  bool panelPlacedOn(const QRect& monitor) const {
    const QRect frame = panel();
    return monitor.contains(frame) && frame.right() == monitor.right() &&
           frame.top() == monitor.top() &&
           frame.bottom() >= monitor.bottom() - TestDesktop::kTrayHeight;
  }
  // And the side button: beyond the right edge, in the middle of its height.
  bool sideButtonPlacedOn(const QRect& monitor) const {
    const QRect frame = sideButton();
    return !frame.isEmpty() && frame.right() - kButtonBeyondEdge == monitor.right() &&
           frame.top() == monitor.top() + (monitor.height() - frame.height()) / 2;
  }

  // Where the windows stand and the monitors as the server has them, for a failure's message.
  std::string whereItStands() {
    const auto text = [](const QRect& frame) {
      return frame.isEmpty()
                 ? std::string("none")
                 : std::to_string(frame.width()) + "x" + std::to_string(frame.height()) + "+" +
                       std::to_string(frame.x()) + "+" + std::to_string(frame.y());
    };
    QProcess monitors;
    monitors.start(QStringLiteral("xrandr"), {QStringLiteral("--listmonitors")});
    monitors.waitForFinished();
    return "\nthe panel at " + text(panel()) + ", the side button at " + text(sideButton()) + "\n" +
           monitors.readAllStandardOutput().toStdString() + howItRuns();
  }
  // How the program stands, for a failure's message.
  std::string howItRuns() {
    if (m_tessra.isRunning()) return " (the program runs)";
    const int status = m_tessra.waitForExit();
    return status == -1
               ? " (the program crashed with signal " + std::to_string(m_tessra.crashSignal()) + ")"
               : " (the program exited with " + std::to_string(status) + ")";
  }
  // Types the question into the panel as the user does; the service receives it.
  void ask(const std::string& question) {
    const std::size_t asked = m_server.requestCount();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kWaitMs) << howItRuns();
    testing::typeText(QString::fromStdString(question));
    testing::pressKeys(QStringLiteral("Return"));
    ASSERT_EVENTUALLY(m_server.requestCount() == asked + 1, kWaitMs) << howItRuns();
  }
  // The answer to `question` as its conversation's file holds it once it has ended.
  std::string storedAnswer(const std::string& question) const {
    const auto saved =
        chat_window_test::savedQuestion(m_tessra.dataFolder() / "welcome.json", question);
    return saved.value("finished", false) ? saved.value("answer", std::string()) : std::string();
  }

  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  testing::HttpServer m_server;
  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

TEST_F(ShrinkingMonitorTest, ThePanelMovesIntoItAndTheProgramAnswersOn) {
  const std::vector<std::string> story(50, "word ");
  std::string wholeStory;
  for (const std::string& piece : story) wholeStory += piece;
  int round = 0;
  // Three times as the panel stands, and once while an answer streams into it.
  for (const bool midAnswer : {false, true, false, false}) {
    SCOPED_TRACE("round " + std::to_string(++round) + (midAnswer ? ", mid-answer" : ""));
    ASSERT_TRUE(setFirstMonitor(kWhole));
    ASSERT_EVENTUALLY(panelPlacedOn(kWhole), kWaitMs) << whereItStands();
    if (midAnswer) {
      m_server.route("POST", "/v1/chat/completions",
                     chat_window_test::streamedAnswer(story, 200ms));
      ASSERT_NO_FATAL_FAILURE(ask(kLongQuestion));
    }
    const std::size_t streamsEnded = m_server.streamEnds().size();

    ASSERT_TRUE(setFirstMonitor(kSmall));
    ASSERT_EVENTUALLY(panelPlacedOn(kSmall), kWaitMs) << whereItStands();
    if (midAnswer) {
      EXPECT_EQ(m_server.streamEnds().size(), streamsEnded) << "the answer still streamed";
      // The stored message, with the error it ended with, if any, and how the stream ended.
      const auto howTheStreamEnded = [&] {
        const std::vector<testing::StreamEnd> ends = m_server.streamEnds();
        if (ends.size() == streamsEnded) return ", the stream still runs";
        return ends.back().outcome == testing::StreamEnd::Outcome::closedByClient
                   ? ", the program closed the stream"
                   : ", the server ended the stream";
      };
      ASSERT_EVENTUALLY(storedAnswer(kLongQuestion) == wholeStory, kWaitMs)
          << chat_window_test::savedQuestion(m_tessra.dataFolder() / "welcome.json", kLongQuestion)
                 .dump()
          << howTheStreamEnded();
    }
    const std::string question = "What is " + std::to_string(round) + " plus 1?";
    const std::string answer = std::to_string(round + 1) + ".";
    m_server.route("POST", "/v1/chat/completions", chat_window_test::streamedAnswer({answer}, 0ms));
    ASSERT_NO_FATAL_FAILURE(ask(question));
    ASSERT_EVENTUALLY_EQ(storedAnswer(question), answer, kWaitMs);
  }

  // The side button, back as the panel hides, follows the monitor as the panel did.
  testing::pressKeys(QStringLiteral("alt+space"));
  ASSERT_EVENTUALLY(m_tessra.panel().isEmpty() && !sideButton().isEmpty(), kWaitMs);
  ASSERT_TRUE(setFirstMonitor(kWhole));
  ASSERT_EVENTUALLY(sideButtonPlacedOn(kWhole), kWaitMs) << whereItStands();
  ASSERT_TRUE(setFirstMonitor(kSmall));
  ASSERT_EVENTUALLY(sideButtonPlacedOn(kSmall), kWaitMs) << whereItStands();
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "crashed with signal " << m_tessra.crashSignal();
}

// A user who tries one resolution after another: after each change, the shown panel, and then its
// side button, stand where the monitor as it now is places them. Every other change of each size
// comes while the program is stopped, so that it reads the monitor going and coming back at once,
// as a busy program does.
TEST_F(ShrinkingMonitorTest, AfterEachOfManyChangesInARowEachWindowStandsWhereTheMonitorPlacesIt) {
  constexpr int kChanges = 50;
  const pid_t program = static_cast<pid_t>(m_tessra.pid());
  for (const bool panelShown : {true, false}) {
    if (!panelShown) {
      testing::pressKeys(QStringLiteral("alt+space"));
      ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
    }
    for (int change = 0; change < kChanges; ++change) {
      const QRect& monitor = change % 2 == 0 ? kSmall : kWhole;
      const bool busy = change % 4 >= 2;
      SCOPED_TRACE("change " + std::to_string(change) + (busy ? ", read at once" : "") +
                   (panelShown ? ", under the panel" : ", under the side button"));
      if (busy) ::kill(program, SIGSTOP);
      const bool changed = setFirstMonitor(monitor);
      if (busy) ::kill(program, SIGCONT);
      ASSERT_TRUE(changed);
      if (panelShown) {
        ASSERT_EVENTUALLY(panelPlacedOn(monitor), kWaitMs) << whereItStands();
      } else {
        ASSERT_EVENTUALLY(sideButtonPlacedOn(monitor), kWaitMs) << whereItStands();
      }
    }
  }
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "crashed with signal " << m_tessra.crashSignal();
}

// A returning user, whose side list offers to delete a conversation.
class WhatThePanelOpenedTest : public ShrinkingMonitorTest {
 protected:
  void SetUp() override {
    testing::writeReturningUsersConversations(m_tessra.dataFolder());
    // The program then tells in its log when it has heard of a change of the monitors.
    m_tessra.setEnvironment(QStringLiteral("TESSRA_DEBUG"), QStringLiteral("1"));
    ShrinkingMonitorTest::SetUp();
  }

  // Whether every window of the program stands on a monitor (the tray's icon stands where the
  // desktop's bar puts it), and the keyboard is on one of them.
  bool allOnScreenWithTheKeyboard() const {
    const std::vector<QRect> screens = monitors();
    const auto onScreen = [&](const QString& window) {
      const QRect frame = testing::windowFrame(window);
      return std::ranges::any_of(screens,
                                 [&](const QRect& monitor) { return monitor.contains(frame); });
    };
    QStringList windows = m_tessra.windows();
    windows.removeAll(m_tessra.trayIcon());
    return std::ranges::all_of(windows, onScreen) && m_tessra.hasKeyboard() &&
           windows.contains(testing::topLevelOf(testing::focusedWindow()));
  }
  // Where each window of the program stands and which has the keyboard, for a failure's message.
  std::string windowsAt() const {
    std::string text;
    for (const QString& window : m_tessra.windows()) {
      const QRect frame = testing::windowFrame(window);
      text += QStringLiteral(" %1 at %2x%3+%4+%5")
                  .arg(window)
                  .arg(frame.width())
                  .arg(frame.height())
                  .arg(frame.x())
                  .arg(frame.y())
                  .toStdString();
    }
    return text + ", the keyboard on " + testing::focusedWindow().toStdString();
  }

  // The frames of the program's windows that are not among `before`.
  std::vector<QRect> framesOfWindowsBut(const QStringList& before) const {
    std::vector<QRect> frames;
    for (const QString& window : m_tessra.windows())
      if (!before.contains(window)) frames.push_back(testing::windowFrame(window));
    return frames;
  }

  // xdotool's click on the paperclip.
  QStringList attach() const {
    return testing::clickThen(panel().bottomRight() + testing::kAttachFromBottomRight);
  }
  // Opens a menu and chooses an entry with a key; what it opens takes the keyboard.
  void choose(const QStringList& openMenu, const char* entry) {
    const qsizetype shown = m_tessra.windows().size();
    testing::xdotool(openMenu);
    ASSERT_EVENTUALLY(m_tessra.windows().size() > shown, kWaitMs) << "no menu";
    testing::xdotool({"key", "--delay", "100", entry, "Return"});
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && testing::focusedWindow() != m_tessra.panel(),
                      kWaitMs);
  }
};

// A menu, dialog, question or the slash list the panel opened, when the monitor under it shrinks
// or goes: once the monitors stand still, nothing of the program stands off them, the keyboard is
// on a window of it on screen, and what the panel opened stands over the panel where it now is.
// Escape then closes only that: the keys typed next reach the prompt, and nothing was sent, chosen
// or deleted.
TEST_F(WhatThePanelOpenedTest, StaysOnAMonitorWithTheKeyboardWhenTheMonitorChanges) {
  const QRect second(TestDesktop::kMonitorWidth, 0, TestDesktop::kMonitorWidth,
                     TestDesktop::kMonitorHeight);
  const struct {
    const char* name;
    std::function<void()> open;
    // What the prompt holds meanwhile: the slash list, which never takes the keyboard, is the
    // prompt's own.
    QString typedBefore;
  } openers[] = {
      {"the attachment menu", [&] { testing::xdotool(attach()); }, {}},
      // "Upload File", its first entry.
      {"the file dialog", [&] { choose(attach(), "Down"); }, {}},
      // "Delete", the last entry of a conversation's menu.
      {"the side list's question",
       [&] {
         const QPoint row = panel().topRight() + testing::kFirstConversationFromTopRight;
         choose({"mousemove", QString::number(row.x()), QString::number(row.y()), "click", "3"},
                "Up");
       },
       {}},
      {"the slash list", [] { testing::typeText(QStringLiteral("/")); }, QStringLiteral("/")},
  };
  const struct {
    const char* name;
    // The monitor under the panel, and the one it stands on afterwards.
    QRect before;
    QRect after;
    std::function<bool()> change;
  } changes[] = {
      {"the monitor shrinks", kWhole, kSmall, [] { return setFirstMonitor(kSmall); }},
      {"the right monitor goes", second, kWhole,
       [] {
         return xrandr({QStringLiteral("--delmonitor"), QStringLiteral("tessra-2")});
       }},
  };
  for (const auto& [change, before, after, monitorChanges] : changes) {
    for (const auto& [name, open, typedBefore] : openers) {
      SCOPED_TRACE(std::string(name) + ", " + change);
      ASSERT_TRUE(setFirstMonitor(kWhole));
      if (before == second) {
        ASSERT_TRUE(xrandr({QStringLiteral("--setmonitor"), QStringLiteral("tessra-2"),
                            monitorGeometry(second), QStringLiteral("none")}));
      }
      // The panel opens on the monitor the pointer is on.
      testing::pressKeys(QStringLiteral("alt+space"));
      ASSERT_EVENTUALLY(m_tessra.panel().isEmpty(), kWaitMs);
      testing::xdotool({QStringLiteral("mousemove"), QString::number(before.center().x()),
                        QString::number(before.center().y())});
      testing::pressKeys(QStringLiteral("alt+space"));
      ASSERT_EVENTUALLY(panelPlacedOn(before) && testing::focusedWindow() == m_tessra.panel(),
                        kWaitMs)
          << whereItStands();
      ASSERT_FALSE(testing::stillPanelHeader(panel()).isNull()) << "the chat never stood still";
      const QStringList alone = m_tessra.windows();
      ASSERT_NO_FATAL_FAILURE(open());
      ASSERT_EVENTUALLY(m_tessra.windows().size() > alone.size(), kWaitMs) << "nothing opened";

      ASSERT_TRUE(monitorChanges());
      ASSERT_EVENTUALLY(panelPlacedOn(after), kWaitMs) << whereItStands();
      ASSERT_EVENTUALLY(allOnScreenWithTheKeyboard(), kWaitMs) << windowsAt() << whereItStands();
      if (typedBefore.isEmpty()) {
        const std::vector<QRect> opened = framesOfWindowsBut(alone);
        ASSERT_FALSE(opened.empty()) << "it closed" << windowsAt();
        for (const QRect& frame : opened) {
          EXPECT_TRUE(after.contains(frame) && frame.intersects(panel())) << windowsAt();
        }
        testing::pressKeys(QStringLiteral("Escape"));
        ASSERT_EVENTUALLY(
            m_tessra.windows() == alone && testing::focusedWindow() == m_tessra.panel(), kWaitMs)
            << windowsAt();
      }
      testing::xdotool({"type", "--delay", "20", "abc"});
      EXPECT_EQ(testing::copyAll(), typedBefore + QStringLiteral("abc")) << windowsAt();
      testing::pressKeys(QStringLiteral("BackSpace"));
    }
  }
  EXPECT_EQ(testing::storedConversations(m_tessra.dataFolder()), 2u);
  EXPECT_EQ(m_server.requestCount(), 0u);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "crashed with signal " << m_tessra.crashSignal();
}

// A monitor added beside the panel's, or taken away again, leaves the panel where it stands: what
// it opened stays open with the keyboard and with what the user typed in it. A resolution raised
// or lowered under the panel moves it, and its menu and dialog with it, beside what each was opened
// from; the list of files shown under the dialog's field stays behind nowhere. Escape then closes
// only what it opened: the draft and the attachment stay in the prompt and go with the question.
TEST_F(WhatThePanelOpenedTest, StaysOpenWithWhatWasTypedWhenTheMonitorsChange) {
  const QRect second(TestDesktop::kMonitorWidth, 0, TestDesktop::kMonitorWidth,
                     TestDesktop::kMonitorHeight);
  const QString draft = QStringLiteral("escdraft");
  const std::filesystem::path notes = m_home.path() / "trip-notes.txt";
  std::ofstream(notes) << "Pack the tent.\n";
  ASSERT_EVENTUALLY(panelPlacedOn(kWhole), kWaitMs) << whereItStands();
  ASSERT_FALSE(testing::stillPanelHeader(panel()).isNull()) << "the chat never stood still";
  const QStringList alone = m_tessra.windows();
  const auto backInThePanel = [&] {
    return m_tessra.windows() == alone && testing::focusedWindow() == m_tessra.panel();
  };
  ASSERT_NO_FATAL_FAILURE(choose(attach(), "Down"));
  testing::typeText(QString::fromStdString(notes.string()));
  testing::pressKeys(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(backInThePanel(), kWaitMs) << windowsAt();
  testing::typeText(draft);

  const auto heard = [this] { return m_tessra.log().count(u"The monitors changed"); };
  const struct {
    const char* name;
    std::function<bool()> monitorsChange;
    // The monitor under the panel afterwards.
    QRect monitor;
  } changes[] = {
      {"a monitor added at the right",
       [&] {
         return xrandr({QStringLiteral("--setmonitor"), QStringLiteral("tessra-2"),
                        monitorGeometry(second), QStringLiteral("none")});
       },
       kWhole},
      {"that monitor taken away",
       [] {
         return xrandr({QStringLiteral("--delmonitor"), QStringLiteral("tessra-2")});
       },
       kWhole},
      {"the resolution raised", [] { return setFirstMonitor(kWide); }, kWide},
      {"the resolution lowered", [] { return setFirstMonitor(kNarrow); }, kNarrow},
      {"the resolution raised again", [] { return setFirstMonitor(kWhole); }, kWhole},
  };
  const struct {
    const char* name;
    std::function<void()> open;
    QString typed;
    // What was typed shows a list under the field: the files whose paths it begins.
    bool listed;
    // A sheet closes when the panel gets a new frame, as on any resize of the panel.
    bool closesOnANewFrame;
  } openers[] = {
      {"the attachment menu", [&] { testing::xdotool(attach()); }, {}, false, false},
      {"the file dialog", [&] { choose(attach(), "Down"); },
       QString::fromStdString((m_home.path() / "trip").string()), true, false},
      {"the new conversation's sheet", [] { testing::pressKeys(QStringLiteral("ctrl+n")); },
       QStringLiteral("Trip plans"), false, true},
  };
  for (const auto& [name, open, typed, listed, closesOnANewFrame] : openers) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(open());
    ASSERT_EVENTUALLY(m_tessra.windows().size() > alone.size(), kWaitMs) << "nothing opened";
    const std::size_t opened = framesOfWindowsBut(alone).size();
    if (!typed.isEmpty()) testing::typeText(typed);
    if (listed) {
      ASSERT_EVENTUALLY(framesOfWindowsBut(alone).size() > opened, kWaitMs) << "no list";
    }
    for (const auto& [change, monitorsChange, monitor] : changes) {
      if (closesOnANewFrame && monitor != kWhole) break;
      SCOPED_TRACE(change);
      const QRect panelBefore = panel();
      const std::vector<QRect> openedBefore = framesOfWindowsBut(alone);
      const qsizetype changesHeard = heard();
      ASSERT_TRUE(monitorsChange());
      ASSERT_EVENTUALLY(heard() > changesHeard, kWaitMs) << "the program heard of no change";
      ASSERT_EVENTUALLY(panelPlacedOn(monitor), kWaitMs) << whereItStands();
      // Beside the paperclip they were opened from, which keeps its place from the panel's bottom
      // right corner, though the panel is taller where the tray's bar stands beyond the monitor.
      // The list shown over the dialog goes with it or closes: none stays behind on its own.
      std::vector<QRect> besideThePanel;
      for (const QRect& frame : openedBefore)
        besideThePanel.push_back(
            frame.translated(panel().bottomRight() - panelBefore.bottomRight()));
      const auto besideIt = [&](const QRect& frame) {
        return std::ranges::count(besideThePanel, frame) > 0;
      };
      ASSERT_EVENTUALLY(std::ranges::all_of(framesOfWindowsBut(alone), besideIt) &&
                            framesOfWindowsBut(alone).size() >= opened,
                        kWaitMs)
          << windowsAt();
      EXPECT_TRUE(std::ranges::all_of(besideThePanel, [&](const QRect& frame) {
        return monitor.contains(frame);
      })) << windowsAt();
      if (!typed.isEmpty()) {
        EXPECT_EQ(testing::copyAll(), typed) << windowsAt();
      }
    }
    testing::pressKeys(QStringLiteral("Escape"));
    ASSERT_EVENTUALLY(backInThePanel(), kWaitMs) << windowsAt();
    EXPECT_EQ(testing::copyAll(), draft);
  }

  m_server.route("POST", "/v1/chat/completions", chat_window_test::streamedAnswer({"Noted."}, 0ms));
  testing::pressKeys(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(m_server.requestCount() == 1, kWaitMs);
  const std::string asked = m_server.requests().front().body;
  EXPECT_NE(asked.find("escdraft"), std::string::npos) << asked;
  EXPECT_NE(asked.find("Pack the tent."), std::string::npos) << asked;
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0) << "crashed with signal " << m_tessra.crashSignal();
}

}  // namespace
}  // namespace tessra
