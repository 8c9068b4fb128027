#include "telemetry/signal_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <latch>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/sha256.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/uuid.h"
#include "testing/temp_dir.h"

namespace tessra::telemetry {
namespace {

constexpr const char* kAppID = "4b1e9d27-6a3c-4f58-9e02-7c5da13b86f4";

// The defaults suites of these tests live in a folder of their own, chosen before any thread
// starts, so that running the tests never touches the user's settings.
const testing::TempDir& configFolder() {
  static const testing::TempDir folder;
  return folder;
}
const bool kConfigFolderSet = [] {
  return ::setenv("TESSRA_CONFIG_DIR", configFolder().path().c_str(), 1) == 0;
}();

class FixedEnricher final : public SignalEnricher {
 public:
  explicit FixedEnricher(std::map<std::string, std::string> entries)
      : m_entries(std::move(entries)) {}

  std::map<std::string, std::string> enrich(const std::string& signalType,
                                            const std::optional<std::string>& clientUser,
                                            std::optional<double> floatValue) override {
    seenType = signalType;
    seenUser = clientUser;
    seenValue = floatValue;
    return m_entries;
  }

  std::string seenType;
  std::optional<std::string> seenUser = "unset";
  std::optional<double> seenValue;

 private:
  std::map<std::string, std::string> m_entries;
};

class ThrowingEnricher final : public SignalEnricher {
 public:
  std::map<std::string, std::string> enrich(const std::string&, const std::optional<std::string>&,
                                            std::optional<double>) override {
    throw std::runtime_error("no entries today");
  }
};

// The value of the payload entry with the key, and how many entries have it.
std::pair<std::string, int> entry(const SignalPostBody& body, const std::string& key) {
  std::string value;
  int count = 0;
  for (const auto& e : body.payload) {
    if (e.rfind(key + ":", 0) != 0) continue;
    value = e.substr(key.size() + 1);
    ++count;
  }
  return {value, count};
}

std::shared_ptr<UsageTelemetryConfiguration> configurationWithUser() {
  auto configuration = std::make_shared<UsageTelemetryConfiguration>(kAppID, "salt");
  configuration->setDefaultUser("installation");
  configuration->setLogHandler(std::nullopt);
  return configuration;
}

TEST(PayloadList, ReplacesColonsInKeysOnly) {
  EXPECT_EQ(payloadList({{"a:b", "x:y"}, {"k", "x:y"}, {"::", ""}, {"plain", "v"}}),
            (std::vector<std::string>{"__:", "a_b:x:y", "k:x:y", "plain:v"}));
  EXPECT_TRUE(payloadList({}).empty());
}

TEST(SignalRecord, MergesDefaultsThenEnrichersInOrderThenTheCallersEntries) {
  auto configuration = configurationWithUser();
  auto first = std::make_shared<FixedEnricher>(std::map<std::string, std::string>{
      {"platform", "first"}, {"locale", "first"}, {"team", "first"}, {"only1", "1"}});
  auto second = std::make_shared<FixedEnricher>(
      std::map<std::string, std::string>{{"team", "second"}, {"locale", "second"}});
  configuration->setMetadataEnrichers({first, second});

  const auto body =
      makeSignalPostBody("opened", std::nullopt, 4.0, {{"locale", "caller"}}, *configuration);
  ASSERT_TRUE(body);
  const struct {
    const char* key;
    const char* value;
  } expected[] = {
      {"platform", "first"}, {"team", "second"},           {"locale", "caller"},
      {"only1", "1"},        {"operatingSystem", "Linux"},
  };
  for (const auto& e : expected)
    EXPECT_EQ(entry(*body, e.key), std::make_pair(std::string(e.value), 1)) << e.key;
  EXPECT_EQ(body->payload.size(), 16u + 2u);
  EXPECT_EQ(first->seenType, "opened");
  EXPECT_EQ(first->seenUser, std::nullopt);
  EXPECT_EQ(first->seenValue, 4.0);
}

TEST(SignalRecord, ACallerEntryReplacesTheDefaultPlatform) {
  auto configuration = configurationWithUser();
  const auto plain = makeSignalPostBody("ping", std::nullopt, std::nullopt, {}, *configuration);
  const auto mine = makeSignalPostBody("ping", std::nullopt, std::nullopt, {{"platform", "mine"}},
                                       *configuration);
  ASSERT_TRUE(plain && mine);
  EXPECT_EQ(entry(*plain, "platform"), std::make_pair(std::string("Linux"), 1));
  EXPECT_EQ(entry(*mine, "platform"), std::make_pair(std::string("mine"), 1));
}

TEST(SignalRecord, AFailingEnricherAddsNothingAndTheSignalStillGoesOut) {
  auto configuration = configurationWithUser();
  std::vector<std::string> logged;
  configuration->setLogHandler(LogHandler(
      LogHandler::LogLevel::debug,
      [&](LogHandler::LogLevel, const std::string& message) { logged.push_back(message); }));
  configuration->setMetadataEnrichers(
      {std::make_shared<ThrowingEnricher>(),
       std::make_shared<FixedEnricher>(std::map<std::string, std::string>{{"after", "yes"}})});
  const auto body = makeSignalPostBody("ping", std::nullopt, std::nullopt, {}, *configuration);
  ASSERT_TRUE(body);
  EXPECT_EQ(entry(*body, "after").first, "yes");
  EXPECT_EQ(logged, std::vector<std::string>{"A signal enricher failed: no entries today"});
}

TEST(SignalRecord, FillsIdentityFieldsFromTheConfiguration) {
  auto configuration = configurationWithUser();
  configuration->setTestMode(true);
  const auto before = platform::Date::now();
  const auto body = makeSignalPostBody("ping", std::nullopt, std::nullopt, {}, *configuration);
  ASSERT_TRUE(body);
  EXPECT_GE(body->receivedAt, before);
  EXPECT_LE(body->receivedAt, platform::Date::now());
  EXPECT_EQ(body->appID, "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4");
  EXPECT_EQ(body->clientUser, platform::sha256Hex("installationsalt"));
  EXPECT_EQ(body->sessionID, configuration->sessionID());
  EXPECT_EQ(body->type, "ping");
  EXPECT_EQ(body->floatValue, std::nullopt);
  EXPECT_EQ(body->isTestMode, "true");

  const auto given = makeSignalPostBody("ping", std::string("given"), 0.5, {}, *configuration);
  ASSERT_TRUE(given);
  EXPECT_EQ(given->clientUser, platform::sha256Hex("givensalt"));
  EXPECT_EQ(given->floatValue, 0.5);
}

TEST(SignalRecord, AnApplicationIdentifierThatIsNotAUuidBuildsNothing) {
  UsageTelemetryConfiguration configuration("not-a-uuid");
  configuration.setDefaultUser("installation");
  std::vector<std::string> logged;
  configuration.setLogHandler(LogHandler(
      LogHandler::LogLevel::debug,
      [&](LogHandler::LogLevel, const std::string& message) { logged.push_back(message); }));
  EXPECT_EQ(makeSignalPostBody("ping", std::nullopt, std::nullopt, {}, configuration),
            std::nullopt);
  EXPECT_EQ(logged, std::vector<std::string>{
                        "The application identifier \"not-a-uuid\" is not a UUID; the signal "
                        "\"ping\" is dropped"});
}

TEST(DefaultUser, TheSuiteIsNamedByTheHashedApplicationIdentifier) {
  const auto hash = platform::sha256Hex(kAppID);
  EXPECT_EQ(defaultsSuiteName(kAppID), "org.tessra.telemetry." + hash.substr(52));
  EXPECT_EQ(defaultsSuiteName(kAppID).size(), std::string("org.tessra.telemetry.").size() + 12);
}

TEST(DefaultUser, TheConfiguredUserComesFirst) {
  auto configuration = configurationWithUser();
  EXPECT_EQ(defaultUserIdentifier(*configuration), "installation");
}

TEST(DefaultUser, ANewIdentifierIsKeptForEveryLaterSignalAndRun) {
  ASSERT_TRUE(kConfigFolderSet);
  // A fresh application identifier, so the suite starts empty.
  const auto appID = platform::makeUuidString();
  std::string first;
  {
    UsageTelemetryConfiguration configuration(appID);
    first = defaultUserIdentifier(configuration);
    EXPECT_TRUE(platform::canonicalUuidString(first));
    EXPECT_EQ(defaultUserIdentifier(configuration), first);
  }
  const auto suiteFile =
      platform::UserDefaults::configDirectory() / (defaultsSuiteName(appID) + ".json");
  EXPECT_EQ(suiteFile.parent_path(), configFolder().path());
  EXPECT_NE(configFolder().read(suiteFile.filename().string()).find(first), std::string::npos);

  UsageTelemetryConfiguration nextRun(appID);
  EXPECT_EQ(defaultUserIdentifier(nextRun), first);
  const auto body = makeSignalPostBody("ping", std::nullopt, std::nullopt, {}, nextRun);
  ASSERT_TRUE(body);
  EXPECT_EQ(body->clientUser, platform::sha256Hex(first));

  UsageTelemetryConfiguration otherApp(platform::makeUuidString());
  EXPECT_NE(defaultUserIdentifier(otherApp), first);
}

TEST(DefaultUser, SignalsBuiltAtOnceOnAnEmptySuiteShareOneNewIdentifier) {
  ASSERT_TRUE(kConfigFolderSet);
  constexpr int kWorkers = 8;
  // The first signals of an installation often come together; each round is a new installation.
  for (int round = 0; round < 20; ++round) {
    UsageTelemetryConfiguration configuration(platform::makeUuidString());
    std::latch start(kWorkers);
    std::vector<std::string> identifiers(kWorkers);
    {
      std::vector<std::jthread> workers;
      for (int i = 0; i < kWorkers; ++i) {
        workers.emplace_back([&, i] {
          start.arrive_and_wait();
          identifiers[i] = defaultUserIdentifier(configuration);
        });
      }
    }
    ASSERT_EQ(std::set<std::string>(identifiers.begin(), identifiers.end()).size(), 1u)
        << "round " << round;
    EXPECT_EQ(defaultUserIdentifier(configuration), identifiers.front());
  }
}

}  // namespace
}  // namespace tessra::telemetry
