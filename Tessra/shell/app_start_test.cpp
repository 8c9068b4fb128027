// The program as the user starts it: a child process on the session's display with folders of
// its own and a telemetry collector on 127.0.0.1.
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>

#include "Tessra/shell/shell_test_support.h"
#include "testing/http_server.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using testing::waitUntil;

class AppStartTest : public ::testing::Test {
 protected:
  void start(const QStringList& arguments, const std::string& collector = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((m_folders / "config").string()));
    environment.insert("XDG_CACHE_HOME", QString::fromStdString((m_folders / "cache").string()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString((m_folders / "data").string()));
    environment.remove("TESSRA_TELEMETRY_URL");
    if (!collector.empty())
      environment.insert("TESSRA_TELEMETRY_URL", QString::fromStdString(collector));
    // A user who has seen the onboarding already.
    if (m_folders.read("config/TessraAI/defaults.json").empty())
      m_folders.write("config/TessraAI/defaults.json", R"({"onboardingPresented": true})");
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TESSRA_BINARY), arguments);
    m_started.start();
    ASSERT_TRUE(m_process.waitForStarted());
  }

  // Whether the program has a mapped window of that exact name (other tests share the display).
  bool windowShown(const char* name) const {
    return testing::xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                             QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                             QString::number(m_process.processId()), QStringLiteral("--name"),
                             QStringLiteral("^%1$").arg(name)});
  }

  // Sends the signal and waits for an orderly exit.
  void quitWith(int signalNumber) {
    ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
    ASSERT_TRUE(m_process.waitForFinished(10000));
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
  }

  std::string telemetryCache() const {
    return m_folders.read("cache/TessraAI/telemetrysignalcache");
  }

  ~AppStartTest() override {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished();
    }
  }

  tessra::testing::TempDir m_folders;
  QProcess m_process;
  QElapsedTimer m_started;
};

TEST_F(AppStartTest, ShowsThePanelAndSendsOnePingWithVersionAndBuild) {
  tessra::testing::HttpServer collector;
  collector.setDefault(tessra::testing::ScriptedResponse::json(200, "[]"));
  start({}, collector.baseUrl());

  ASSERT_TRUE(waitUntil([this] { return windowShown("Tessra"); }, std::chrono::seconds(10)));
  const qint64 shownAfter = m_started.elapsed();
  RecordProperty("panelShownAfterMs", static_cast<int>(shownAfter));
  EXPECT_GE(shownAfter, 400) << "0.3 s first show plus the 0.1 s show timer";

  // The first batch leaves with the sending timer, 10 s after the start.
  std::vector<nlohmann::json> pings;
  ASSERT_TRUE(waitUntil(
      [&] {
        pings.clear();
        for (const auto& request : collector.requests()) {
          const auto batch = nlohmann::json::parse(request.body, nullptr, false);
          if (!batch.is_array()) continue;
          for (const auto& signal : batch)
            if (signal.value("type", "") == "ping") pings.push_back(signal);
        }
        return !pings.empty();
      },
      std::chrono::seconds(20)));
  ASSERT_EQ(pings.size(), 1u);
  const auto& payload = pings[0]["payload"];
  EXPECT_NE(std::find(payload.begin(), payload.end(), "appVersion:1.0.0"), payload.end())
      << payload.dump();
  EXPECT_NE(std::find(payload.begin(), payload.end(), "buildNumber:1"), payload.end())
      << payload.dump();
  quitWith(SIGTERM);
}

TEST_F(AppStartTest, AtLoginNoPanelAndEveryQuitKeepsTheUnsentSignals) {
  for (int signalNumber : {SIGTERM, SIGINT}) {
    start({QStringLiteral("--login-item")});
    ASSERT_TRUE(waitUntil([this] { return windowShown("Tessra Button"); }));
    // The panel would stand 0.4 s after the start; give it twice that.
    QTest::qWait(800);
    EXPECT_FALSE(windowShown("Tessra"));
    quitWith(signalNumber);
    EXPECT_NE(telemetryCache().find("\"ping\""), std::string::npos) << telemetryCache();
    std::filesystem::remove(m_folders / "cache/TessraAI/telemetrysignalcache");
  }
}

}  // namespace
}  // namespace tessra
