#include "telemetry/signal_manager.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "platform/foundation/json.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/url_session.h"
#include "platform/foundation/utf8.h"
#include "telemetry/signal_builder.h"

namespace tessra::telemetry {

namespace {

using Level = LogHandler::LogLevel;

// How long quitting waits for signals that a worker is building at that moment.
constexpr auto kBuildWaitAtQuit = std::chrono::seconds(5);
constexpr auto kRequestTimeout = std::chrono::seconds(60);

}  // namespace

SignalManager::SignalManager(ConstructionKey,
                             std::shared_ptr<UsageTelemetryConfiguration> configuration,
                             Options options)
    : m_options(std::move(options)),
      m_configuration(std::move(configuration)),
      m_signalCache(m_configuration->logHandler(), m_options.cacheFile) {}

std::shared_ptr<SignalManager> SignalManager::create(
    std::shared_ptr<UsageTelemetryConfiguration> configuration, Options options) {
  auto manager = std::make_shared<SignalManager>(ConstructionKey(), std::move(configuration),
                                                 std::move(options));
  manager->start();
  return manager;
}

SignalManager::~SignalManager() = default;

void SignalManager::start() {
  if (!m_configuration->apiBaseURL())
    log(Level::info, std::string("No telemetry collector is set (") +
                         UsageTelemetryConfiguration::kCollectorUrlVariable +
                         "): signals are kept and cached but not sent");

  const std::weak_ptr<SignalManager> weakSelf = shared_from_this();
  m_terminateObserver = platform::NotificationCenter::defaultCenter().addObserver(
      kApplicationWillTerminateNotification, [weakSelf](const platform::Notification&) {
        if (auto self = weakSelf.lock()) self->appWillTerminate();
      });
  m_sendTimer = std::make_unique<platform::Timer>(
      platform::globalQueue(), m_options.minimumWaitTimeBetweenRequests, true, [weakSelf] {
        if (auto self = weakSelf.lock()) self->checkForSignalsAndSend();
      });
  // Records loaded from the cache file leave at once.
  checkForSignalsAndSend();
}

void SignalManager::processSignal(
    const std::string& signalType, const std::optional<std::string>& clientUser,
    std::optional<double> floatValue, const std::map<std::string, std::string>& payload,
    const std::shared_ptr<UsageTelemetryConfiguration>& configuration) {
  if (floatValue && !std::isfinite(*floatValue)) {
    log(Level::error, "The float value of the signal \"" + signalType +
                          "\" is not a finite number and is left out");
    floatValue.reset();
  }
  {
    std::lock_guard lock(m_mutex);
    m_pending.push_back(PendingSignal{signalType, clientUser, floatValue, payload,
                                      configuration ? configuration : m_configuration});
  }
  platform::globalQueue().async([self = shared_from_this()] { self->buildNextPending(); });
}

void SignalManager::buildNextPending() {
  std::unique_lock lock(m_mutex);
  // Quitting may have taken the signal already and built it itself.
  if (m_pending.empty()) return;
  auto signal = std::move(m_pending.front());
  m_pending.pop_front();
  ++m_building;
  lock.unlock();

  if (auto record = build(signal)) {
    m_signalCache.push(std::move(*record));
    saveCache();
  }

  lock.lock();
  --m_building;
  lock.unlock();
  m_buildsEnded.notify_all();
}

std::optional<SignalPostBody> SignalManager::build(const PendingSignal& signal) {
  std::optional<SignalPostBody> record;
  try {
    record = makeSignalPostBody(signal.signalType, signal.clientUser, signal.floatValue,
                                signal.payload, *signal.configuration);
  } catch (const std::exception& e) {
    log(Level::error, "The signal \"" + signal.signalType + "\" could not be built: " + e.what());
  }
  if (record) log(Level::debug, "Process signal: " + dump(*record));
  return record;
}

void SignalManager::saveCache() {
  std::lock_guard saving(m_saveMutex);
  std::vector<SignalPostBody> inFlight;
  {
    std::lock_guard lock(m_mutex);
    for (const auto& [id, batch] : m_inFlight)
      inFlight.insert(inFlight.end(), batch.begin(), batch.end());
  }
  (void)m_signalCache.save(inFlight);
}

void SignalManager::checkForSignalsAndSend() {
  log(Level::debug, "Current signal cache count: " + std::to_string(m_signalCache.count()));
  // Without a collector the records wait in the queue, and in the cache file after quitting.
  if (!m_configuration->apiBaseURL()) return;
  std::uint64_t batchID = 0;
  std::size_t batchSize = 0;
  {
    // Taken and marked in flight in one step, so that quitting meanwhile finds the batch and
    // saves it even before its post has started.
    std::lock_guard lock(m_mutex);
    auto batch = m_signalCache.pop(m_batchSize);
    if (batch.empty()) return;
    // A size halved after a 413 holds for this one batch; the next may be whole again.
    m_batchSize = SignalCache::kMaximumNumberOfSignalsToPopAtOnce;
    batchSize = batch.size();
    batchID = m_nextBatchID++;
    m_inFlight.emplace(batchID, std::move(batch));
  }
  log(Level::info, "Sending " + std::to_string(batchSize) + " signals leaving a cache of " +
                       std::to_string(m_signalCache.count()) + " signals");
  platform::globalQueue().async([self = shared_from_this(), batchID] { self->post(batchID); });
}

void SignalManager::send(std::vector<SignalPostBody> batch) {
  if (batch.empty()) return;
  std::uint64_t batchID = 0;
  {
    std::lock_guard lock(m_mutex);
    batchID = m_nextBatchID++;
    m_inFlight.emplace(batchID, std::move(batch));
  }
  post(batchID);
}

void SignalManager::post(std::uint64_t batchID) {
  std::vector<SignalPostBody> batch;
  {
    std::lock_guard lock(m_mutex);
    const auto it = m_inFlight.find(batchID);
    // Quitting saved the batch before its post started: it leaves from the cache file next time.
    if (it == m_inFlight.end()) return;
    batch = it->second;
  }
  const auto& baseURL = m_configuration->apiBaseURL();
  if (!baseURL) {
    if (auto taken = takeInFlight(batchID)) m_signalCache.push(std::move(*taken));
    return;
  }
  std::string body;
  try {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& record : batch) list.push_back(toWireJson(record));
    body = platform::encodeJson(list);
  } catch (const std::exception& e) {
    takeInFlight(batchID);
    saveCache();
    log(Level::error,
        std::string("A batch of signals could not be encoded and is dropped: ") + e.what());
    return;
  }
  log(Level::debug, body);
  postBatch(signalsUrl(*baseURL, m_configuration->telemetryAppID()), std::move(body), batchID);
}

std::optional<std::vector<SignalPostBody>> SignalManager::takeInFlight(std::uint64_t batchID) {
  std::lock_guard lock(m_mutex);
  const auto it = m_inFlight.find(batchID);
  if (it == m_inFlight.end()) return std::nullopt;
  auto batch = std::move(it->second);
  m_inFlight.erase(it);
  return batch;
}

void SignalManager::postBatch(std::string url, std::string body, std::uint64_t batchID) {
  platform::UrlRequest request;
  request.method = "POST";
  request.url = std::move(url);
  request.setHeader("Content-Type", "application/json");
  request.body.assign(body.begin(), body.end());
  request.idleTimeout = kRequestTimeout;
  // The collector answers with a status and a short text.
  request.maximumBodySize = std::size_t{1} << 20;
  auto task = platform::UrlSession::shared().dataTask(
      std::move(request), [self = shared_from_this(), batchID](Result<platform::UrlData> result) {
        if (!result) {
          self->complete(batchID, std::nullopt, std::nullopt, debugDescribe(result.error()));
          return;
        }
        self->complete(batchID, result->response.statusCode,
                       std::string(result->body.begin(), result->body.end()), std::nullopt);
      });
  task.resume();
}

void SignalManager::complete(std::uint64_t batchID, const std::optional<int>& statusCode,
                             const std::optional<std::string>& body,
                             const std::optional<std::string>& error) {
  auto taken = takeInFlight(batchID);
  // Quitting already put the batch back into the cache.
  if (!taken) return;
  auto batch = std::move(*taken);
  if (error) {
    log(Level::error, *error);
    m_signalCache.push(std::move(batch));
    return;
  }
  if (statusCode) {
    if (const auto failure = statusError(*statusCode)) {
      log(Level::error, failure->caseName());
      if (failure->kind() == TelemetryError::Kind::PayloadTooLarge) {
        std::lock_guard lock(m_mutex);
        m_batchSize = std::max<std::size_t>(1, batch.size() / 2);
      }
      m_signalCache.push(std::move(batch));
      return;
    }
  }
  // Delivered: the file no longer keeps it.
  saveCache();
  if (body) log(Level::debug, platform::sanitizeUtf8(*body));
}

void SignalManager::appWillTerminate() {
  log(Level::debug, "appWillTerminate()");
  std::deque<PendingSignal> pending;
  {
    std::unique_lock lock(m_mutex);
    pending = std::exchange(m_pending, {});
    if (!m_buildsEnded.wait_for(lock, kBuildWaitAtQuit, [this] { return m_building == 0; }))
      log(Level::error, "Signals still being built at quit are not cached");
  }
  std::vector<SignalPostBody> built;
  for (const auto& signal : pending)
    if (auto record = build(signal)) built.push_back(std::move(*record));
  // No save of an older state may land after this one.
  std::lock_guard saving(m_saveMutex);
  std::vector<std::vector<SignalPostBody>> inFlight;
  {
    std::lock_guard lock(m_mutex);
    for (auto& [id, batch] : m_inFlight) inFlight.push_back(std::move(batch));
    m_inFlight.clear();
  }
  for (auto& batch : inFlight) m_signalCache.push(std::move(batch));
  m_signalCache.push(std::move(built));
  m_signalCache.backupCache();
}

std::optional<TelemetryError> SignalManager::statusError(int statusCode) {
  return TelemetryError::forStatus(statusCode);
}

std::string SignalManager::signalsUrl(const std::string& apiBaseURL,
                                      const std::string& telemetryAppID) {
  std::string url = apiBaseURL;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url + "/api/v1/apps/" + telemetryAppID + "/signals/multiple/";
}

std::size_t SignalManager::batchSize() const {
  std::lock_guard lock(m_mutex);
  return m_batchSize;
}

std::size_t SignalManager::batchesInFlight() const {
  std::lock_guard lock(m_mutex);
  return m_inFlight.size();
}

void SignalManager::log(LogHandler::LogLevel level, const std::string& message) const {
  m_configuration->log(level, message);
}

}  // namespace tessra::telemetry
