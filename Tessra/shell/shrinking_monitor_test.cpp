// The monitor under the shown panel gets smaller, as when its resolution is lowered or a smaller
// monitor takes its place, on a wide screen split into monitors: the program keeps running, the
// panel moves and shrinks into the monitor, also while an answer streams, and the next question is
// answered. Hidden, the panel leaves its side button, which follows the monitor too.
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "testing/http_server.h"
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
// How far the side button reaches beyond the monitor's edge.
constexpr int kButtonBeyondEdge = 28;
const std::string kLongQuestion = "Tell me a long story";

bool xrandr(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("xrandr"), arguments) == 0;
}

// Gives the first monitor, the one of the display's output, a new frame, at the test desktop's
// pixels per millimetre. The server lends an output to one monitor at a time: the monitor goes,
// the output's own monitor (the whole screen) stands for a moment, and the monitor comes back.
bool setFirstMonitor(const QRect& frame) {
  const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                               .arg(frame.width())
                               .arg(frame.width() * 508 / TestDesktop::kMonitorWidth)
                               .arg(frame.height())
                               .arg(frame.height() * 286 / TestDesktop::kMonitorHeight)
                               .arg(frame.left())
                               .arg(frame.top());
  return xrandr({QStringLiteral("--delmonitor"), QStringLiteral("tessra-1")}) &&
         xrandr({QStringLiteral("--setmonitor"), QStringLiteral("tessra-1"), geometry,
                 QStringLiteral("screen")});
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

}  // namespace
}  // namespace tessra
