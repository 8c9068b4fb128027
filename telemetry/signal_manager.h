// The engine of the telemetry client: builds each accepted signal's record on a worker thread,
// queues it in the signal cache, posts the queue to the collector in batches and keeps what is
// unsent across quits.
//
//   auto manager = SignalManager::create(configuration);   // loads the cache file, sends at once
//   manager->processSignal("ping", std::nullopt, std::nullopt, {}, configuration);
//   ...
//   manager->appWillTerminate();                             // at quit: writes the cache file
//
// Every `minimumWaitTimeBetweenRequests` a timer takes up to 100 records (fewer after the
// collector answered 413) from the front of the queue and posts them as one JSON array to
// "<collector>/api/v1/apps/<app id>/signals/multiple/". A batch that fails is put back at the
// back of the queue and tried again on a later tick. Without a collector address nothing is
// posted: the records stay queued. The cache file follows the queue and the batches in flight:
// it is written again whenever a record is queued or a batch delivered, so that an abnormal end
// loses nothing that was not yet delivered.
//
// Threads: `processSignal` returns at once and builds on the global queue; the timer fires on
// the global queue; post completions arrive on the URL session's queue; `appWillTerminate` runs
// on the thread that quits. The pending signals and the batches in flight are guarded by the
// manager's mutex; the queue of records by the cache's own. Work under way keeps the manager
// alive until it ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "telemetry/configuration.h"
#include "telemetry/signal_cache.h"
#include "telemetry/signal_manageable.h"
#include "telemetry/signal_post_body.h"
#include "telemetry/telemetry_error.h"

namespace tessra::platform {
class Timer;
class UrlSession;
}  // namespace tessra::platform

namespace tessra::telemetry {

// Posted on the default notification centre by the application when it is about to quit; every
// signal manager saves its queue then.
inline constexpr const char* kApplicationWillTerminateNotification = "applicationWillTerminate";

// How a signal manager runs; tests shorten the interval and point the cache file elsewhere.
struct SignalManagerOptions {
  // The interval of the sending timer.
  std::chrono::milliseconds minimumWaitTimeBetweenRequests = std::chrono::seconds(10);
  std::filesystem::path cacheFile = SignalCache::defaultFileURL();
};

class SignalManager final : public SignalManageable,
                            public std::enable_shared_from_this<SignalManager> {
 public:
  using Options = SignalManagerOptions;

  // Loads the cache file, observes `kApplicationWillTerminateNotification`, starts the timer and
  // sends a first batch at once.
  static std::shared_ptr<SignalManager> create(
      std::shared_ptr<UsageTelemetryConfiguration> configuration, Options options = {});

  // Only `create` can make the key: a manager must start with a shared owner.
  class ConstructionKey {
    friend class SignalManager;
    ConstructionKey() = default;
  };
  SignalManager(ConstructionKey, std::shared_ptr<UsageTelemetryConfiguration> configuration,
                Options options);
  ~SignalManager() override;
  SignalManager(const SignalManager&) = delete;
  SignalManager& operator=(const SignalManager&) = delete;

  // A non-finite `floatValue` is dropped with a log line; the signal goes on without it.
  void processSignal(const std::string& signalType, const std::optional<std::string>& clientUser,
                     std::optional<double> floatValue,
                     const std::map<std::string, std::string>& payload,
                     const std::shared_ptr<UsageTelemetryConfiguration>& configuration) override;

  // Takes one batch from the front of the queue and posts it; the timer's work.
  void checkForSignalsAndSend();

  // Posts one batch. A batch that fails comes back at the back of the queue.
  void send(std::vector<SignalPostBody> batch);

  // Puts back the signals still being built and the batches still in flight, then writes the
  // queue to the cache file and empties it.
  void appWillTerminate();

  // The error a response status stands for, or nothing for 200 to 299; a response that is not
  // an HTTP response is status 0.
  static std::optional<TelemetryError> statusError(int statusCode);

  // "<base>/api/v1/apps/<app id>/signals/multiple/", one "/" between base and path.
  static std::string signalsUrl(const std::string& apiBaseURL, const std::string& telemetryAppID);

  std::chrono::milliseconds minimumWaitTimeBetweenRequests() const {
    return m_options.minimumWaitTimeBetweenRequests;
  }
  SignalCache& signalCache() { return m_signalCache; }
  const std::shared_ptr<UsageTelemetryConfiguration>& configuration() const {
    return m_configuration;
  }
  // The most records the next post carries: 100, or half of a batch refused with a 413 for the
  // one post after it.
  std::size_t batchSize() const;
  // Batches posted and not yet answered.
  std::size_t batchesInFlight() const;

 private:
  struct PendingSignal {
    std::string signalType;
    std::optional<std::string> clientUser;
    std::optional<double> floatValue;
    std::map<std::string, std::string> payload;
    std::shared_ptr<UsageTelemetryConfiguration> configuration;
  };

  void start();
  // Builds and queues the oldest pending signal, when one is left.
  void buildNextPending();
  // The signal's record; nothing (logged) when it cannot be built.
  std::optional<SignalPostBody> build(const PendingSignal& signal);
  // Writes every signal not yet delivered, queued or in flight, to the cache file.
  void saveCache();
  // Encodes and posts the batch in flight under `batchID`, unless quitting took it back first.
  void post(std::uint64_t batchID);
  // Removes the batch from those in flight; nothing when quitting or an answer took it first.
  std::optional<std::vector<SignalPostBody>> takeInFlight(std::uint64_t batchID);
  void postBatch(std::string url, std::string body, std::uint64_t batchID);
  void complete(std::uint64_t batchID, const std::optional<int>& statusCode,
                const std::optional<std::string>& body, const std::optional<std::string>& error);
  void log(LogHandler::LogLevel level, const std::string& message) const;

  const Options m_options;
  const std::shared_ptr<UsageTelemetryConfiguration> m_configuration;
  SignalCache m_signalCache;
  std::unique_ptr<platform::Timer> m_sendTimer;
  platform::NotificationCenter::ObserverToken m_terminateObserver;

  // Held from taking the snapshot of what is unsent to its write, so that the file always ends
  // with the latest state. Taken before `m_mutex` and the cache's own mutex.
  std::mutex m_saveMutex;
  // Guards every field below. Taken before the cache's own mutex, never after it.
  mutable std::mutex m_mutex;
  std::condition_variable m_buildsEnded;
  std::deque<PendingSignal> m_pending;
  std::size_t m_building = 0;
  std::map<std::uint64_t, std::vector<SignalPostBody>> m_inFlight;
  std::uint64_t m_nextBatchID = 0;
  std::size_t m_batchSize = SignalCache::kMaximumNumberOfSignalsToPopAtOnce;
};

}  // namespace tessra::telemetry
