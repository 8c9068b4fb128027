// The program as the user starts it on a desktop with a tray: its first show, its start at login,
// its one copy per session, its start as root, its place in the work area (also after a start
// with the screen off) and its telemetry cache, which outlives an abnormal end.
#include <unistd.h>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using testing::RunningProgram;

constexpr int kStartMs = 20000;

// Whether the program has started a helper process of its embedded browser.
bool browserHelperRuns(qint64 pid) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (comm) state ppid ...": the name may hold spaces, the parent follows its ")".
    std::istringstream fields(line.substr(line.rfind(')') + 1));
    std::string state;
    qint64 parent = 0;
    if (!(fields >> state >> parent) || parent != pid) continue;
    std::ifstream commandLine(entry.path() / "cmdline");
    const std::string command{std::istreambuf_iterator<char>(commandLine), {}};
    if (command.find("QtWebEngineProcess") != std::string::npos) return true;
  }
  return false;
}

// Switches the display's one output off or on again, as xrandr does when a monitor goes or a lid
// closes, and waits until the server says so. Switched off, the output has no mode.
bool setOutputOn(bool on) {
  const QStringList mode = on ? QStringList{QStringLiteral("--mode"), QStringLiteral("1920x1080")}
                              : QStringList{QStringLiteral("--off")};
  // Xvfb turns the output off but refuses the smaller screen xrandr asks for then: the exit
  // status says nothing.
  QProcess::execute(QStringLiteral("xrandr"),
                    QStringList{QStringLiteral("--output"), QStringLiteral("screen")} + mode);
  return QTest::qWaitFor([on] {
    QProcess query;
    query.start(QStringLiteral("xrandr"), {QStringLiteral("--query")});
    query.waitForFinished();
    return query.readAllStandardOutput().contains("screen connected 1920x1080+0+0") == on;
  });
}

class AppStartTest : public ::testing::Test {
 protected:
  std::string telemetryCache() const { return m_home.read("cache/TessraAI/telemetrysignalcache"); }
  // The types of the signals in the cache file, in its order.
  std::vector<std::string> cachedSignalTypes() const {
    const auto list = nlohmann::json::parse(telemetryCache(), nullptr, false);
    std::vector<std::string> types;
    if (!list.is_array()) return types;
    for (const auto& signal : list) types.push_back(signal.value("type", ""));
    return types;
  }

  tessra::testing::TempDir m_home;
  RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
};

TEST_F(AppStartTest, ShowsThePanelAndSendsOnePingWithVersionAndBuild) {
  tessra::testing::HttpServer collector;
  collector.setDefault(tessra::testing::ScriptedResponse::json(200, "[]"));
  m_tessra.setEnvironment(QStringLiteral("TESSRA_TELEMETRY_URL"), collector.baseUrl());
  QElapsedTimer started;
  started.start();
  m_tessra.start();

  ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
  const qint64 shownAfter = started.elapsed();
  RecordProperty("panelShownAfterMs", static_cast<int>(shownAfter));
  EXPECT_GE(shownAfter, 400) << "0.3 s first show plus the 0.1 s show timer";

  // The first batch leaves with the sending timer, 10 s after the start.
  std::vector<nlohmann::json> pings;
  const auto collectPings = [&] {
    pings.clear();
    for (const auto& request : collector.requests()) {
      const auto batch = nlohmann::json::parse(request.body, nullptr, false);
      if (!batch.is_array()) continue;
      for (const auto& signal : batch)
        if (signal.value("type", "") == "ping") pings.push_back(signal);
    }
    return !pings.empty();
  };
  ASSERT_EVENTUALLY(collectPings(), 20000);
  ASSERT_EQ(pings.size(), 1u);
  const auto& payload = pings[0]["payload"];
  EXPECT_NE(std::find(payload.begin(), payload.end(), "appVersion:1.0.0"), payload.end())
      << payload.dump();
  EXPECT_NE(std::find(payload.begin(), payload.end(), "buildNumber:1"), payload.end())
      << payload.dump();
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(AppStartTest, AtLoginNoPanelAndEveryQuitKeepsTheUnsentSignals) {
  for (int signalNumber : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signalNumber);
    m_tessra.start({QStringLiteral("--login-item")});
    ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra Button")).isEmpty());
    // A check that nothing happens: the panel would stand 0.4 s after the start; give it twice
    // that.
    QTest::qWait(800);
    EXPECT_TRUE(m_tessra.windows(QStringLiteral("Tessra")).isEmpty());
    EXPECT_EQ(m_tessra.quitWith(signalNumber), 0);
    EXPECT_NE(telemetryCache().find("\"ping\""), std::string::npos) << telemetryCache();
    std::filesystem::remove(m_tessra.cacheFolder() / "telemetrysignalcache");
  }
}

TEST_F(AppStartTest, AKilledProgramKeepsEverySignalItHadNotSent) {
  // A signal left from the run before, and no collector to send it to.
  m_home.write("cache/TessraAI/telemetrysignalcache",
               R"([{"appID":"4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4","clientUser":"x",)"
               R"("isTestMode":"false","payload":[],"receivedAt":700000000,)"
               R"("sessionID":"s","type":"earlier"}])");
  m_tessra.start({QStringLiteral("--login-item")});
  ASSERT_EVENTUALLY(cachedSignalTypes() == std::vector<std::string>({"earlier", "ping"}), kStartMs);
  EXPECT_EQ(m_tessra.quitWith(SIGKILL), -1);
  EXPECT_EQ(cachedSignalTypes(), std::vector<std::string>({"earlier", "ping"}));
}

TEST_F(AppStartTest, ASecondStartShowsTheFirstCopysPanelAndEnds) {
  m_tessra.start({QStringLiteral("--login-item")});
  ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra Button")).isEmpty());

  // At login the second copy only ends: the first stays as it was.
  RunningProgram atLogin(QStringLiteral(TESSRA_BINARY), m_home.path());
  atLogin.start({QStringLiteral("--login-item")});
  EXPECT_EQ(atLogin.waitForExit(), 0);
  QTest::qWait(800);  // a check that nothing happens: no panel comes up in the first copy
  EXPECT_TRUE(m_tessra.windows(QStringLiteral("Tessra")).isEmpty());

  RunningProgram second(QStringLiteral(TESSRA_BINARY), m_home.path());
  second.start();
  EXPECT_EQ(second.waitForExit(), 0);
  EXPECT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), kStartMs);
  EXPECT_TRUE(m_tessra.isRunning());
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(AppStartTest, AsRootThePanelShowsItsPageWithoutTheBrowsersSandbox) {
  if (::geteuid() != 0) GTEST_SKIP() << "the test runs as root only";
  // The program decides it, not the test session.
  m_tessra.setEnvironment(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), std::nullopt);
  m_tessra.start();
  ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("Tessra")).isEmpty());
  // A browser that refuses root ends the program before it starts a helper.
  ASSERT_EVENTUALLY(browserHelperRuns(m_tessra.pid()) || !m_tessra.isRunning(), kStartMs);
  EXPECT_TRUE(m_tessra.isRunning()) << m_tessra.log().toStdString();
  EXPECT_EQ(m_tessra.log().count(QStringLiteral("runs without its sandbox")), 1);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(AppStartTest, ThePanelStandsInTheWorkAreaAndFollowsIt) {
  auto& desktop = testing::TestDesktop::current();
  m_tessra.start();
  const QString panel = m_tessra.waitForWindow(QStringLiteral("Tessra"));
  ASSERT_FALSE(panel.isEmpty());
  const int workAreaBottom = 1080 - testing::TestDesktop::kTrayHeight;
  ASSERT_EVENTUALLY_EQ(testing::windowFrame(panel).bottom() + 1, workAreaBottom, kStartMs);
  EXPECT_EQ(testing::windowFrame(panel).top(), 0);

  desktop.stopTray();
  ASSERT_EVENTUALLY_EQ(testing::windowFrame(panel).bottom() + 1, 1080, kStartMs);
  desktop.startTray();
  ASSERT_EVENTUALLY_EQ(testing::windowFrame(panel).bottom() + 1, workAreaBottom, kStartMs);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

TEST_F(AppStartTest, StartedWithTheScreenOffThePanelComesWithTheScreenInItsWorkArea) {
  ASSERT_TRUE(setOutputOn(false));
  m_tessra.start();
  // Up, with its panel made (the panel's page starts the browser) and nowhere to show it.
  ASSERT_EVENTUALLY(!m_tessra.trayIcon().isEmpty() && browserHelperRuns(m_tessra.pid()), kStartMs);
  ASSERT_TRUE(setOutputOn(true));
  QString shown;
  ASSERT_EVENTUALLY(!(shown = m_tessra.panel()).isEmpty(), kStartMs);
  const int workAreaBottom = 1080 - testing::TestDesktop::kTrayHeight;
  ASSERT_EVENTUALLY_EQ(testing::windowFrame(shown).bottom() + 1, workAreaBottom, kStartMs);
  EXPECT_EQ(testing::windowFrame(shown).top(), 0);
  EXPECT_EQ(testing::windowFrame(shown).right() + 1, 1920);
  EXPECT_EQ(m_tessra.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
