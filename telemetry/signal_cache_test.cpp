#include "telemetry/signal_cache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/json.h"
#include "testing/temp_dir.h"

namespace tessra::telemetry {
namespace {

using Level = LogHandler::LogLevel;

SignalPostBody signalNumber(int n) {
  return SignalPostBody{
      .receivedAt = platform::Date::fromReferenceDate(700000000.5 + n),
      .appID = "4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4",
      .clientUser = std::string(64, 'a'),
      .sessionID = "0C1B6A5E-2D7F-4E11-9C3A-5B6D7E8F9A0B",
      .type = "signal" + std::to_string(n),
      .floatValue = n % 2 == 0 ? std::optional<double>(n * 0.5) : std::nullopt,
      .payload = {"n:" + std::to_string(n)},
      .isTestMode = "false",
  };
}

std::vector<SignalPostBody> signalsNumbered(int from, int to) {
  std::vector<SignalPostBody> signals;
  for (int n = from; n < to; ++n) signals.push_back(signalNumber(n));
  return signals;
}

class SignalCacheTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const {
    return m_dir / "caches" / "TessraAI" / "telemetrysignalcache";
  }

  LogHandler recordingHandler() {
    return LogHandler(Level::debug, [this](Level level, const std::string& message) {
      m_lines.push_back(std::string(description(level)) + " " + message);
    });
  }

  bool logged(const std::string& line) const {
    return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
  }

  testing::TempDir m_dir;
  std::vector<std::string> m_lines;
};

TEST_F(SignalCacheTest, PopsOldestFirstInBatchesOfAtMostOneHundred) {
  SignalCache cache(recordingHandler(), file());
  cache.push(signalsNumbered(0, 249));
  cache.push(signalNumber(249));
  ASSERT_EQ(cache.count(), 250u);

  const auto first = cache.pop();
  const auto second = cache.pop();
  const auto third = cache.pop();
  EXPECT_EQ(first.size(), 100u);
  EXPECT_EQ(second.size(), 100u);
  EXPECT_EQ(third.size(), 50u);
  EXPECT_TRUE(cache.pop().empty());
  EXPECT_EQ(first.front(), signalNumber(0));
  EXPECT_EQ(second.front(), signalNumber(100));
  EXPECT_EQ(third.back(), signalNumber(249));
  EXPECT_EQ(cache.pop(7).size(), 0u);
}

TEST_F(SignalCacheTest, KeepsAtMostOneThousandDroppingTheOldest) {
  SignalCache cache(recordingHandler(), file());
  cache.push(signalsNumbered(0, 990));
  cache.push(signalsNumbered(990, 1003));
  EXPECT_EQ(cache.count(), 1000u);
  EXPECT_EQ(cache.pop(1).front(), signalNumber(3));
  EXPECT_TRUE(logged("INFO Dropped the 3 oldest signals: the queue keeps at most 1000"));
}

TEST_F(SignalCacheTest, SavesTheListInTheCacheEncodingAndEmptiesIt) {
  SignalCache cache(recordingHandler(), file());
  cache.push(signalsNumbered(0, 3));
  cache.backupCache();

  EXPECT_EQ(cache.count(), 0u);
  ASSERT_TRUE(std::filesystem::exists(file()));
  const auto size = std::filesystem::file_size(file());
  EXPECT_TRUE(logged("INFO Saved Telemetry cache " + std::to_string(size) + " bytes of 3 signals"));
  const auto saved = platform::parseJson(m_dir.read("caches/TessraAI/telemetrysignalcache"));
  ASSERT_TRUE(saved.is_array());
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_DOUBLE_EQ(saved[0].at("receivedAt").get<double>(), 700000000.5);
  EXPECT_EQ(saved[1].count("floatValue"), 0u);
  EXPECT_EQ(platform::decodeValue<std::vector<SignalPostBody>>(saved), signalsNumbered(0, 3));

  struct stat info {};
  ASSERT_EQ(::stat(file().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Nothing but the cache file is left in its folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file().parent_path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SignalCacheTest, NextStartLoadsTheSavedSignalsAndKeepsTheFileUntilTheNextSave) {
  {
    SignalCache cache(std::nullopt, file());
    cache.push(signalsNumbered(0, 3));
    cache.backupCache();
  }
  const std::string saved = m_dir.read("caches/TessraAI/telemetrysignalcache");
  SignalCache cache(recordingHandler(), file());
  EXPECT_TRUE(logged("INFO Loading Telemetry cache from: file://" + file().string()));
  EXPECT_TRUE(logged("INFO Loaded 3 signals"));
  // A crash before the signals leave must not lose them.
  EXPECT_EQ(m_dir.read("caches/TessraAI/telemetrysignalcache"), saved);
  EXPECT_EQ(cache.pop(), signalsNumbered(0, 3));
}

TEST_F(SignalCacheTest, ASaveWritesTheListAndTheSignalsInFlightAndKeepsTheList) {
  SignalCache cache(std::nullopt, file());
  cache.push(signalsNumbered(0, 2));
  const auto inFlight = signalsNumbered(2, 4);
  ASSERT_TRUE(cache.save(inFlight));
  EXPECT_EQ(cache.count(), 2u);
  EXPECT_EQ(platform::decodeJson<std::vector<SignalPostBody>>(
                m_dir.read("caches/TessraAI/telemetrysignalcache")),
            signalsNumbered(0, 4));
}

TEST_F(SignalCacheTest, AnEmptyListIsSavedAsAnEmptyArrayAndLoadsNothing) {
  {
    SignalCache cache(std::nullopt, file());
    cache.backupCache();
  }
  EXPECT_EQ(m_dir.read("caches/TessraAI/telemetrysignalcache"), "[]");
  SignalCache cache(recordingHandler(), file());
  EXPECT_TRUE(logged("INFO Loaded 0 signals"));
  EXPECT_EQ(cache.count(), 0u);
}

TEST_F(SignalCacheTest, ACorruptFileLoadsWhatCanBeReadAndStaysUntilReplaced) {
  const auto good = platform::encodeJson(nlohmann::json(signalNumber(1)));
  const struct {
    std::string content;
    std::size_t loaded;
  } cases[] = {
      {"", 0},
      {"not json", 0},
      {"{\"receivedAt\":1}", 0},
      {"[" + good + ",", 0},
      {"\xFF\xFE[]", 0},
      {"[1, \"x\", {}]", 0},
      {"[" + good + ", {\"type\":\"half\"}, " + good + "]", 2},
  };
  for (const auto& c : cases) {
    m_dir.write("caches/TessraAI/telemetrysignalcache", c.content);
    SignalCache cache(std::nullopt, file());
    EXPECT_EQ(cache.count(), c.loaded) << c.content;
    EXPECT_EQ(m_dir.read("caches/TessraAI/telemetrysignalcache"), c.content);
    ASSERT_TRUE(cache.save());
    EXPECT_EQ(platform::decodeJson<std::vector<SignalPostBody>>(
                  m_dir.read("caches/TessraAI/telemetrysignalcache"))
                  .size(),
              c.loaded)
        << c.content;
  }
}

TEST_F(SignalCacheTest, ALoadedFileLargerThanTheLimitKeepsTheNewest) {
  {
    nlohmann::json list = signalsNumbered(0, 1010);
    m_dir.write("caches/TessraAI/telemetrysignalcache", platform::encodeJson(list));
  }
  SignalCache cache(std::nullopt, file());
  EXPECT_EQ(cache.count(), 1000u);
  EXPECT_EQ(cache.pop(1).front(), signalNumber(10));
}

TEST_F(SignalCacheTest, AFailedSaveLogsAndKeepsTheList) {
  // The cache folder's place is taken by a plain file, so nothing can be written there.
  m_dir.write("caches/TessraAI", "in the way");
  SignalCache cache(recordingHandler(), file());
  cache.push(signalsNumbered(0, 2));
  cache.backupCache();
  EXPECT_TRUE(logged("ERROR Error saving Telemetry cache"));
  EXPECT_EQ(cache.count(), 2u);
}

}  // namespace
}  // namespace tessra::telemetry
