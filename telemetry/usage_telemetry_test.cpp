#include "telemetry/usage_telemetry.h"

#include <gtest/gtest.h>

#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "platform/foundation/uuid.h"
#include "testing/http_server.h"
#include "testing/log_capture.h"
#include "testing/temp_dir.h"

namespace tessra::telemetry {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAppID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4";

// A signal manager that keeps what it is handed, for the tests of what the front lets through.
class RecordingSignalManager final : public SignalManageable {
 public:
  struct Call {
    std::string signalType;
    std::optional<std::string> clientUser;
    std::optional<double> floatValue;
    std::map<std::string, std::string> payload;
  };

  void processSignal(const std::string& signalType, const std::optional<std::string>& clientUser,
                     std::optional<double> floatValue,
                     const std::map<std::string, std::string>& payload,
                     const std::shared_ptr<UsageTelemetryConfiguration>&) override {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(Call{signalType, clientUser, floatValue, payload});
  }

  std::vector<Call> calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<Call> m_calls;
};

class UsageTelemetryTest : public ::testing::Test {
 protected:
  UsageTelemetryTest()
      : m_configuration(std::make_shared<UsageTelemetryConfiguration>(kAppID, std::nullopt,
                                                                      "http://127.0.0.1:1")),
        m_recorder(std::make_shared<RecordingSignalManager>()),
        m_manager(std::make_shared<UsageTelemetry>(m_configuration, m_recorder)) {}
  ~UsageTelemetryTest() override { UsageTelemetry::terminate(); }

  std::size_t count(const std::string& signalType) const {
    std::size_t n = 0;
    for (const auto& call : m_recorder->calls()) n += call.signalType == signalType ? 1 : 0;
    return n;
  }

  std::shared_ptr<UsageTelemetryConfiguration> m_configuration;
  std::shared_ptr<RecordingSignalManager> m_recorder;
  std::shared_ptr<UsageTelemetry> m_manager;
};

TEST_F(UsageTelemetryTest, HandsSignalsOnWithTheirUserValueAndPayload) {
  m_manager->sendSignal("opened", std::string("me"), 1.5, {{"k", "v"}});
  const auto calls = m_recorder->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].signalType, "opened");
  EXPECT_EQ(calls[0].clientUser, "me");
  EXPECT_EQ(calls[0].floatValue, 1.5);
  EXPECT_EQ(calls[0].payload, (std::map<std::string, std::string>{{"k", "v"}}));
}

TEST_F(UsageTelemetryTest, DropsSignalsInPreviewRunsAndWhileAnalyticsAreDisabled) {
  const struct {
    std::optional<bool> previewMode;
    bool analyticsDisabled;
    bool processed;
  } cases[] = {
      {std::nullopt, false, true}, {false, false, true}, {true, false, false},
      {std::nullopt, true, false}, {false, true, false},
  };
  for (const auto& c : cases) {
    m_configuration->setPreviewMode(c.previewMode);
    m_configuration->setAnalyticsDisabled(c.analyticsDisabled);
    const auto before = count("ping");
    m_manager->sendSignal("ping");
    EXPECT_EQ(count("ping") - before, c.processed ? 1u : 0u)
        << c.previewMode.value_or(false) << " " << c.analyticsDisabled;
  }
}

TEST_F(UsageTelemetryTest, SendingBeforeInitializeLogsAndDropsTheSignal) {
  UsageTelemetry::terminate();
  testing::LogCapture log;
  EXPECT_FALSE(UsageTelemetry::isInitialized());
  UsageTelemetry::send("ping");
  UsageTelemetry::updateDefaultUser("someone");
  UsageTelemetry::generateNewSession();
  EXPECT_EQ(log.lines().size(), 3u);
  EXPECT_EQ(UsageTelemetry::shared(), nullptr);
  EXPECT_EQ(m_recorder->calls().size(), 0u);
}

TEST_F(UsageTelemetryTest, ClassLevelOperationsActOnTheSharedManager) {
  UsageTelemetry::install(m_manager);
  EXPECT_TRUE(UsageTelemetry::isInitialized());
  UsageTelemetry::send("ping");
  UsageTelemetry::updateDefaultUser("someone");
  EXPECT_EQ(count("ping"), 1u);
  EXPECT_EQ(m_configuration->defaultUser(), "someone");
  UsageTelemetry::terminate();
  EXPECT_FALSE(UsageTelemetry::isInitialized());
}

TEST_F(UsageTelemetryTest, ANewSessionSendsNewSessionBeganOnlyWhenAsked) {
  UsageTelemetry::install(m_manager);
  for (const bool announce : {false, true}) {
    m_configuration->setSendNewSessionBeganSignal(announce);
    const auto before = m_configuration->sessionID();
    const auto sent = count("newSessionBegan");
    UsageTelemetry::generateNewSession();
    EXPECT_NE(m_configuration->sessionID(), before);
    EXPECT_EQ(platform::canonicalUuidString(m_configuration->sessionID()),
              m_configuration->sessionID());
    EXPECT_EQ(count("newSessionBegan") - sent, announce ? 1u : 0u);
  }
}

TEST_F(UsageTelemetryTest, StoringASessionAnnouncesItWhenAsked) {
  UsageTelemetry::install(m_manager);
  m_configuration->setSessionID("0c1b6a5e-2d7f-4e11-9c3a-5b6d7e8f9a0b");
  EXPECT_EQ(m_configuration->sessionID(), "0C1B6A5E-2D7F-4E11-9C3A-5B6D7E8F9A0B");
  EXPECT_EQ(count("newSessionBegan"), 1u);
  m_configuration->setSendNewSessionBeganSignal(false);
  m_configuration->setSessionID(platform::makeUuidString());
  EXPECT_EQ(count("newSessionBegan"), 1u);
  EXPECT_THROW(m_configuration->setSessionID("session"), Error);
}

TEST(UsageTelemetryEndToEnd, InitializeThenPingReachesTheCollector) {
  testing::TempDir dir;
  testing::HttpServer server;
  server.route("POST", std::string("/api/v1/apps/") + kAppID + "/signals/multiple/",
               testing::ScriptedResponse::json(200, "{}"));
  auto configuration =
      std::make_shared<UsageTelemetryConfiguration>(kAppID, std::nullopt, server.baseUrl());
  configuration->setDefaultUser("installation");
  configuration->setLogHandler(std::nullopt);
  UsageTelemetry::initialize(configuration, {.minimumWaitTimeBetweenRequests = 20ms,
                                             .cacheFile = dir / "telemetrysignalcache"});
  UsageTelemetry::send("ping");
  const auto request = server.waitForRequest(0);
  UsageTelemetry::terminate();
  ASSERT_TRUE(request);
  const auto body = platform::parseJson(request->body);
  ASSERT_EQ(body.size(), 1u);
  EXPECT_EQ(body[0].at("type"), "ping");
  EXPECT_FALSE(body[0].contains("floatValue"));
}

}  // namespace
}  // namespace tessra::telemetry
