#include "telemetry/signal_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/sha256.h"
#include "testing/http_server.h"
#include "testing/temp_dir.h"

namespace tessra::telemetry {
namespace {

using namespace std::chrono_literals;
using Level = LogHandler::LogLevel;
using testing::HttpServer;
using testing::ScriptedResponse;

// The host gives the identifier in lower case; the path keeps it so, the records carry it upper.
constexpr const char* kAppID = "4b1e9d27-6a3c-4f58-9e02-7c5da13b86f4";
constexpr const char* kPath = "/api/v1/apps/4b1e9d27-6a3c-4f58-9e02-7c5da13b86f4/signals/multiple/";

// Waits for the condition, checking it again every millisecond. The deadline is only a net for a
// condition never met, far above what a loaded machine takes.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

SignalPostBody cachedRecord(int n) {
  return SignalPostBody{
      .receivedAt = platform::Date::fromReferenceDate(700000000 + n),
      .appID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4",
      .clientUser = platform::sha256Hex("someone"),
      .sessionID = "0C1B6A5E-2D7F-4E11-9C3A-5B6D7E8F9A0B",
      .type = "cached" + std::to_string(n),
      .floatValue = std::nullopt,
      .payload = {},
      .isTestMode = "false",
  };
}

class SignalManagerTest : public ::testing::Test {
 protected:
  // A manager against the loopback collector whose timer never fires during a test, unless
  // `interval` says otherwise.
  std::shared_ptr<SignalManager> makeManager(std::chrono::milliseconds interval = 1h,
                                             std::optional<std::string> baseURL = {}) {
    m_configuration = std::make_shared<UsageTelemetryConfiguration>(
        kAppID, "pepper", baseURL ? baseURL : m_server.baseUrl());
    m_configuration->setDefaultUser("user-1");
    m_configuration->setLogHandler(recordingHandler());
    return SignalManager::create(
        m_configuration, {.minimumWaitTimeBetweenRequests = interval, .cacheFile = cacheFile()});
  }

  std::filesystem::path cacheFile() const { return m_dir / "cache" / "telemetrysignalcache"; }

  void writeCache(int count) {
    nlohmann::json list = nlohmann::json::array();
    for (int n = 0; n < count; ++n) list.push_back(cachedRecord(n));
    m_dir.write("cache/telemetrysignalcache", platform::encodeJson(list));
  }

  std::vector<SignalPostBody> savedCache() const {
    return platform::decodeJson<std::vector<SignalPostBody>>(
        m_dir.read("cache/telemetrysignalcache"));
  }

  // How many signals the cache file holds; nothing while there is no readable file.
  std::optional<std::size_t> signalsInFile() const {
    try {
      return savedCache().size();
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }

  // The lines live as long as the last handler that writes them: a post the manager completes
  // on a worker after the test has ended still logs into them, never into a freed fixture.
  struct LogLines {
    std::mutex mutex;
    std::vector<std::string> lines;
  };

  LogHandler recordingHandler() {
    return LogHandler(Level::debug, [log = m_log](Level level, const std::string& message) {
      std::lock_guard lock(log->mutex);
      log->lines.push_back(std::string(description(level)) + " " + message);
    });
  }

  bool logged(const std::string& line) const {
    std::lock_guard lock(m_log->mutex);
    return std::find(m_log->lines.begin(), m_log->lines.end(), line) != m_log->lines.end();
  }

  static nlohmann::json bodyOf(const testing::RecordedRequest& request) {
    return platform::parseJson(request.body);
  }

  // Sends signals and waits until they are built and queued.
  void queueSignals(SignalManager& manager, int count) {
    const auto before = manager.signalCache().count();
    for (int n = 0; n < count; ++n)
      manager.processSignal("signal" + std::to_string(n), std::nullopt, std::nullopt, {},
                            m_configuration);
    ASSERT_TRUE(eventually([&] { return manager.signalCache().count() == before + count; }));
  }

  testing::TempDir m_dir;
  HttpServer m_server;
  std::shared_ptr<UsageTelemetryConfiguration> m_configuration;
  std::shared_ptr<LogLines> m_log = std::make_shared<LogLines>();
};

TEST_F(SignalManagerTest, PostsOneJsonArrayOfWireRecordsToTheCollectorPath) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, "{}"));
  auto manager = makeManager();
  manager->processSignal("ping", std::nullopt, std::nullopt, {}, m_configuration);
  manager->processSignal("opened", std::string("user-2"), 2.5,
                         {{"a:b", "x:y"}, {"platform", "mine"}}, m_configuration);
  ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 2; }));
  manager->checkForSignalsAndSend();

  const auto request = m_server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, "POST");
  EXPECT_EQ(request->path, kPath);
  EXPECT_EQ(request->header("Content-Type"), "application/json");
  const auto body = bodyOf(*request);
  ASSERT_TRUE(body.is_array());
  ASSERT_EQ(body.size(), 2u);

  std::map<std::string, nlohmann::json> byType;
  for (const auto& record : body) byType[record.at("type").get<std::string>()] = record;
  const auto& ping = byType.at("ping");
  const auto& opened = byType.at("opened");
  const std::regex wireDate(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\+0000)");
  EXPECT_TRUE(std::regex_match(ping.at("receivedAt").get<std::string>(), wireDate));
  EXPECT_EQ(ping.at("appID"), "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4");
  EXPECT_EQ(ping.at("clientUser"), platform::sha256Hex("user-1pepper"));
  EXPECT_EQ(opened.at("clientUser"), platform::sha256Hex("user-2pepper"));
  EXPECT_EQ(ping.at("sessionID"), m_configuration->sessionID());
  EXPECT_EQ(ping.at("isTestMode"), "false");
  EXPECT_FALSE(ping.contains("floatValue"));
  EXPECT_EQ(opened.at("floatValue"), 2.5);

  const auto payload = opened.at("payload").get<std::vector<std::string>>();
  EXPECT_EQ(std::count(payload.begin(), payload.end(), "a_b:x:y"), 1);
  EXPECT_EQ(std::count_if(payload.begin(), payload.end(),
                          [](const std::string& e) { return e.rfind("platform:", 0) == 0; }),
            1);
  EXPECT_EQ(std::count(payload.begin(), payload.end(), "platform:mine"), 1);
  EXPECT_TRUE(eventually([&] { return manager->batchesInFlight() == 0; }));
  EXPECT_EQ(manager->signalCache().count(), 0u);
}

TEST_F(SignalManagerTest, CachedRecordsLeaveAtCreationThenInBatchesOfAtMostOneHundred) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, "{}"));
  writeCache(250);
  auto manager = makeManager();
  EXPECT_TRUE(logged("INFO Loaded 250 signals"));

  ASSERT_TRUE(m_server.waitForRequest(0));
  manager->checkForSignalsAndSend();
  ASSERT_TRUE(m_server.waitForRequest(1));
  manager->checkForSignalsAndSend();
  ASSERT_TRUE(m_server.waitForRequest(2));
  manager->checkForSignalsAndSend();

  const auto requests = m_server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(bodyOf(requests[0]).size(), 100u);
  EXPECT_EQ(bodyOf(requests[1]).size(), 100u);
  EXPECT_EQ(bodyOf(requests[2]).size(), 50u);
  EXPECT_EQ(bodyOf(requests[0])[0].at("type"), "cached0");
  EXPECT_EQ(bodyOf(requests[2])[49].at("type"), "cached249");
  EXPECT_TRUE(logged("INFO Sending 100 signals leaving a cache of 150 signals"));
  EXPECT_TRUE(logged("INFO Sending 50 signals leaving a cache of 0 signals"));
  // Delivered, they leave the file too.
  EXPECT_TRUE(eventually([&] { return signalsInFile() == 0u; }));
}

TEST_F(SignalManagerTest, TheTimerSendsEveryIntervalOnItsOwn) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, "{}"));
  writeCache(250);
  auto manager = makeManager(20ms);
  ASSERT_TRUE(m_server.waitForRequest(2));
  std::size_t total = 0;
  for (const auto& request : m_server.requests()) {
    EXPECT_LE(bodyOf(request).size(), 100u);
    total += bodyOf(request).size();
  }
  EXPECT_EQ(total, 250u);
}

TEST_F(SignalManagerTest, AFailedPostIsPutBackAndSentAgain) {
  std::atomic<int> posts = 0;
  m_server.route("POST", kPath, [&](const testing::RecordedRequest&) {
    return ++posts == 1 ? ScriptedResponse::text(500, "busy") : ScriptedResponse::json(201, "{}");
  });
  auto manager = makeManager();
  queueSignals(*manager, 3);
  manager->checkForSignalsAndSend();
  ASSERT_TRUE(m_server.waitForRequest(0));
  ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 3; }));
  EXPECT_TRUE(logged("ERROR InvalidStatusCode(statusCode: 500)"));

  manager->checkForSignalsAndSend();
  const auto retry = m_server.waitForRequest(1);
  ASSERT_TRUE(retry);
  EXPECT_EQ(bodyOf(*retry), bodyOf(m_server.requests()[0]));
  ASSERT_TRUE(eventually([&] { return manager->batchesInFlight() == 0; }));
  // 201 counts as delivered.
  EXPECT_EQ(manager->signalCache().count(), 0u);
}

TEST_F(SignalManagerTest, RefusedStatusesLogTheirCaseAndPutTheBatchBackBehindNewerRecords) {
  const struct {
    int status;
    const char* logged;
  } cases[] = {
      {401, "ERROR Unauthorised"},
      {403, "ERROR Forbidden"},
      {413, "ERROR PayloadTooLarge"},
      {500, "ERROR InvalidStatusCode(statusCode: 500)"},
      {302, "ERROR InvalidStatusCode(statusCode: 302)"},
  };
  for (const auto& c : cases) {
    // The collector holds its answer until the test lets it go.
    std::promise<void> release;
    auto released = release.get_future().share();
    HttpServer server;
    server.route("POST", kPath, [&, released](const testing::RecordedRequest&) {
      released.wait_for(5s);
      return ScriptedResponse::text(c.status, "no");
    });
    {
      std::lock_guard lock(m_log->mutex);
      m_log->lines.clear();
    }
    // Each case starts afresh, without what the case before left in the file.
    std::filesystem::remove(cacheFile());
    auto manager = makeManager(1h, server.baseUrl());
    queueSignals(*manager, 2);
    manager->checkForSignalsAndSend();
    ASSERT_TRUE(server.waitForRequest(0));
    // A record that arrives while the post is out stays in front of the batch that comes back.
    manager->processSignal("newer", std::nullopt, std::nullopt, {}, m_configuration);
    ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 1; }));
    release.set_value();
    ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 3; })) << c.status;
    EXPECT_TRUE(eventually([&] { return logged(c.logged); })) << c.status;
    const auto queued = manager->signalCache().pop();
    EXPECT_EQ(queued.front().type, "newer") << c.status;
    ASSERT_EQ(queued.size(), 3u);
    // Records built on several workers may be queued in either order.
    EXPECT_EQ(queued[1].type.rfind("signal", 0), 0u) << c.status;
    EXPECT_EQ(queued[2].type.rfind("signal", 0), 0u) << c.status;
    EXPECT_NE(queued[1].type, queued[2].type) << c.status;
  }
}

TEST_F(SignalManagerTest, AfterA413TheNextBatchIsHalfTheSize) {
  std::atomic<int> posts = 0;
  m_server.route("POST", kPath, [&](const testing::RecordedRequest&) {
    return ++posts == 1 ? ScriptedResponse::text(413, "too large")
                        : ScriptedResponse::json(200, "{}");
  });
  writeCache(150);
  auto manager = makeManager();
  ASSERT_TRUE(m_server.waitForRequest(0));
  ASSERT_TRUE(eventually([&] { return manager->batchSize() == 50; }));
  ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 150; }));

  manager->checkForSignalsAndSend();
  const auto next = m_server.waitForRequest(1);
  ASSERT_TRUE(next);
  EXPECT_EQ(bodyOf(*next).size(), 50u);
  // The batch that came back is behind the records that were waiting.
  EXPECT_EQ(bodyOf(*next)[0].at("type"), "cached100");

  // Only that one batch was halved: the one after it takes a hundred again.
  EXPECT_EQ(manager->batchSize(), 100u);
  manager->checkForSignalsAndSend();
  const auto after = m_server.waitForRequest(2);
  ASSERT_TRUE(after);
  EXPECT_EQ(bodyOf(*after).size(), 100u);
}

TEST_F(SignalManagerTest, ATransportErrorIsLoggedAndTheBatchPutBack) {
  std::string deadURL;
  {
    HttpServer closed;
    deadURL = closed.baseUrl();
  }
  auto manager = makeManager(1h, deadURL);
  queueSignals(*manager, 4);
  manager->checkForSignalsAndSend();
  ASSERT_TRUE(eventually(
      [&] { return manager->batchesInFlight() == 0 && manager->signalCache().count() == 4; }));
  std::lock_guard lock(m_log->mutex);
  EXPECT_TRUE(std::any_of(m_log->lines.begin(), m_log->lines.end(),
                          [](const std::string& line) { return line.rfind("ERROR ", 0) == 0; }));
}

TEST_F(SignalManagerTest, WithoutACollectorSignalsAreKeptAndCachedButNeverPosted) {
  m_configuration =
      std::make_shared<UsageTelemetryConfiguration>(kAppID, std::nullopt, std::nullopt);
  if (m_configuration->apiBaseURL()) GTEST_SKIP() << "TESSRA_TELEMETRY_URL is set";
  m_configuration->setDefaultUser("user-1");
  m_configuration->setLogHandler(recordingHandler());
  auto manager = SignalManager::create(
      m_configuration, {.minimumWaitTimeBetweenRequests = 1h, .cacheFile = cacheFile()});
  EXPECT_TRUE(logged(
      "INFO No telemetry collector is set (TESSRA_TELEMETRY_URL): signals are kept and cached "
      "but not sent"));
  queueSignals(*manager, 2);
  manager->checkForSignalsAndSend();
  EXPECT_EQ(manager->signalCache().count(), 2u);
  manager->appWillTerminate();
  EXPECT_EQ(savedCache().size(), 2u);
  EXPECT_EQ(m_server.requestCount(), 0u);
}

TEST_F(SignalManagerTest, QuitSavesTheQueueAndTheNextStartPostsItAtOnce) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, "{}"));
  {
    auto manager = makeManager(1h, "http://127.0.0.1:1");
    queueSignals(*manager, 3);
    platform::NotificationCenter::defaultCenter().post(kApplicationWillTerminateNotification);
    EXPECT_EQ(manager->signalCache().count(), 0u);
    const auto size = std::filesystem::file_size(cacheFile());
    EXPECT_TRUE(
        logged("INFO Saved Telemetry cache " + std::to_string(size) + " bytes of 3 signals"));
    EXPECT_TRUE(logged("DEBUG appWillTerminate()"));
    EXPECT_EQ(savedCache().size(), 3u);
  }
  auto manager = makeManager();
  EXPECT_TRUE(logged("INFO Loaded 3 signals"));
  const auto request = m_server.waitForRequest(0);
  ASSERT_TRUE(request);
  EXPECT_EQ(bodyOf(*request).size(), 3u);
}

TEST_F(SignalManagerTest, EverySignalStaysInTheFileFromBeingQueuedUntilItIsDelivered) {
  // The collector holds its answer until the test lets it go.
  std::promise<void> release;
  auto released = release.get_future().share();
  m_server.route("POST", kPath, [released](const testing::RecordedRequest&) {
    released.wait_for(5s);
    return ScriptedResponse::json(200, "{}");
  });
  auto manager = makeManager();
  queueSignals(*manager, 2);
  // Without a quit: a kill at this moment keeps them.
  EXPECT_TRUE(eventually([&] { return signalsInFile() == 2u; }));

  manager->checkForSignalsAndSend();
  ASSERT_TRUE(m_server.waitForRequest(0));
  queueSignals(*manager, 1);
  EXPECT_TRUE(eventually([&] { return signalsInFile() == 3u; })) << "the batch in flight too";

  release.set_value();
  ASSERT_TRUE(eventually([&] { return manager->batchesInFlight() == 0; }));
  EXPECT_TRUE(eventually([&] { return signalsInFile() == 1u; }));
}

TEST_F(SignalManagerTest, QuitPutsBackBatchesInFlight) {
  // The collector reads the post and then keeps it waiting until the server stops.
  m_server.route("POST", kPath, ScriptedResponse::stall("", 30s, "application/json"));
  writeCache(5);
  auto manager = makeManager();
  ASSERT_TRUE(m_server.waitForRequest(0));
  queueSignals(*manager, 2);
  ASSERT_EQ(manager->batchesInFlight(), 1u);

  manager->appWillTerminate();
  const auto saved = savedCache();
  EXPECT_EQ(saved.size(), 7u);
  EXPECT_EQ(std::count_if(saved.begin(), saved.end(),
                          [](const SignalPostBody& s) { return s.type.rfind("cached", 0) == 0; }),
            5);
  // The answer that comes after quitting finds its batch already saved and changes nothing.
  m_server.stop();
  EXPECT_TRUE(eventually([&] { return manager->batchesInFlight() == 0; }));
  EXPECT_EQ(manager->signalCache().count(), 0u);
}

TEST_F(SignalManagerTest, QuitKeepsABatchTakenForPostingButNotYetPosted) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, "{}"));
  auto manager = makeManager();
  queueSignals(*manager, 3);
  // Every worker of the global queue is kept busy, so the batch a tick takes waits to be posted.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const unsigned blockers = 4 * std::max(2u, std::thread::hardware_concurrency());
  for (unsigned n = 0; n < blockers; ++n)
    platform::globalQueue().async([released] { released.wait(); });

  manager->checkForSignalsAndSend();
  EXPECT_EQ(manager->signalCache().count(), 0u);
  manager->appWillTerminate();
  release.set_value();
  EXPECT_EQ(savedCache().size(), 3u);
  EXPECT_TRUE(eventually([&] { return manager->batchesInFlight() == 0; }));
}

TEST_F(SignalManagerTest, QuitKeepsSignalsStillBeingBuilt) {
  auto manager = makeManager(1h, "http://127.0.0.1:1");
  for (int n = 0; n < 50; ++n)
    manager->processSignal("late", std::nullopt, std::nullopt, {}, m_configuration);
  manager->appWillTerminate();
  EXPECT_EQ(savedCache().size(), 50u);
}

TEST_F(SignalManagerTest, ANonFiniteFloatValueIsLeftOutWithALogLine) {
  auto manager = makeManager();
  for (const double value :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()})
    manager->processSignal("measured", std::nullopt, value, {}, m_configuration);
  ASSERT_TRUE(eventually([&] { return manager->signalCache().count() == 3; }));
  EXPECT_TRUE(logged(
      "ERROR The float value of the signal \"measured\" is not a finite number and is left out"));
  for (const auto& record : manager->signalCache().pop())
    EXPECT_EQ(record.floatValue, std::nullopt);
}

TEST_F(SignalManagerTest, JoinsTheBaseAddressAndThePathWithOneSlash) {
  const struct {
    const char* base;
    const char* url;
  } cases[] = {
      {"https://collector.example", "https://collector.example/api/v1/apps/ID/signals/multiple/"},
      {"https://collector.example/", "https://collector.example/api/v1/apps/ID/signals/multiple/"},
      {"http://127.0.0.1:8080/telemetry/",
       "http://127.0.0.1:8080/telemetry/api/v1/apps/ID/signals/multiple/"},
  };
  for (const auto& c : cases) EXPECT_EQ(SignalManager::signalsUrl(c.base, "ID"), c.url);
}

}  // namespace
}  // namespace tessra::telemetry
