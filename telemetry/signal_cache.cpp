#include "telemetry/signal_cache.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <system_error>

#include "platform/foundation/atomic_file.h"
#include "platform/foundation/json.h"
#include "platform/foundation/locations.h"
#include "platform/foundation/regular_file.h"

namespace tessra::telemetry {

namespace {

// The address of a file as a "file://" URL, for the log.
std::string fileUrlText(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char ch : path.string()) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || std::strchr("/-._~", ch) != nullptr) {
      url.push_back(ch);
      continue;
    }
    url.push_back('%');
    url.push_back(kHex[c >> 4]);
    url.push_back(kHex[c & 0xF]);
  }
  return url;
}

}  // namespace

SignalCache::SignalCache(std::optional<LogHandler> logHandler, std::filesystem::path fileURL)
    : m_logHandler(std::move(logHandler)), m_fileURL(std::move(fileURL)) {
  loadCachedSignals();
}

std::filesystem::path SignalCache::defaultFileURL() {
  return platform::cacheDirectory() / kFileName;
}

void SignalCache::push(SignalPostBody signal) {
  std::size_t dropped = 0;
  {
    std::lock_guard lock(m_mutex);
    m_cachedSignals.push_back(std::move(signal));
    dropped = trimLocked();
  }
  reportDropped(dropped);
}

void SignalCache::push(std::vector<SignalPostBody> signals) {
  std::size_t dropped = 0;
  {
    std::lock_guard lock(m_mutex);
    for (auto& signal : signals) m_cachedSignals.push_back(std::move(signal));
    dropped = trimLocked();
  }
  reportDropped(dropped);
}

std::vector<SignalPostBody> SignalCache::pop(std::size_t maximum) {
  std::lock_guard lock(m_mutex);
  const auto n = std::min(maximum, m_cachedSignals.size());
  std::vector<SignalPostBody> batch(std::make_move_iterator(m_cachedSignals.begin()),
                                    std::make_move_iterator(m_cachedSignals.begin() + n));
  m_cachedSignals.erase(m_cachedSignals.begin(), m_cachedSignals.begin() + n);
  return batch;
}

std::size_t SignalCache::count() const {
  std::lock_guard lock(m_mutex);
  return m_cachedSignals.size();
}

bool SignalCache::save(std::span<const SignalPostBody> alsoUnsent) {
  std::unique_lock lock(m_mutex);
  return writeLocked(lock, alsoUnsent).has_value();
}

void SignalCache::backupCache() {
  std::unique_lock lock(m_mutex);
  const auto count = m_cachedSignals.size();
  const auto size = writeLocked(lock, {});
  if (!size) return;
  m_cachedSignals.clear();
  lock.unlock();
  log(LogHandler::LogLevel::info, "Saved Telemetry cache " + std::to_string(*size) + " bytes of " +
                                      std::to_string(count) + " signals");
}

std::optional<std::size_t> SignalCache::writeLocked(std::unique_lock<std::mutex>& lock,
                                                    std::span<const SignalPostBody> alsoUnsent) {
  try {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& signal : m_cachedSignals) list.push_back(signal);
    for (const auto& signal : alsoUnsent) list.push_back(signal);
    const std::string data = platform::encodeJson(list);
    platform::writeFileAtomically(m_fileURL, data, {.createFolders = true});
    return data.size();
  } catch (const std::exception& e) {
    lock.unlock();
    log(LogHandler::LogLevel::error, "Error saving Telemetry cache");
    log(LogHandler::LogLevel::error, e.what());
    return std::nullopt;
  }
}

void SignalCache::loadCachedSignals() {
  log(LogHandler::LogLevel::info, "Loading Telemetry cache from: " + fileUrlText(m_fileURL));
  platform::removeStaleTemporaryFiles(m_fileURL.parent_path());
  std::string data;
  try {
    data = platform::readRegularFile(m_fileURL);
  } catch (const std::system_error& e) {
    // No cache yet is the usual case; anything else there is told and left to the next save.
    if (e.code() != std::errc::no_such_file_or_directory)
      log(LogHandler::LogLevel::error, std::string("Telemetry cache cannot be read: ") + e.what());
    return;
  }

  nlohmann::json list;
  try {
    list = platform::parseJson(data);
  } catch (const platform::JsonDecodingError& e) {
    log(LogHandler::LogLevel::error, std::string("Telemetry cache is not JSON: ") + e.what());
    return;
  }
  if (!list.is_array()) {
    log(LogHandler::LogLevel::error, "Telemetry cache is not a list of signals");
    return;
  }
  std::deque<SignalPostBody> signals;
  std::size_t skipped = 0;
  for (const auto& item : list) {
    try {
      signals.push_back(platform::decodeValue<SignalPostBody>(item));
    } catch (const platform::JsonDecodingError&) {
      ++skipped;
    }
  }
  if (skipped > 0)
    log(LogHandler::LogLevel::error,
        "Skipped " + std::to_string(skipped) + " unreadable signals of the Telemetry cache");
  log(LogHandler::LogLevel::info, "Loaded " + std::to_string(signals.size()) + " signals");
  std::size_t dropped = 0;
  {
    std::lock_guard lock(m_mutex);
    m_cachedSignals = std::move(signals);
    dropped = trimLocked();
  }
  reportDropped(dropped);
}

void SignalCache::log(LogHandler::LogLevel level, const std::string& message) const {
  if (m_logHandler) m_logHandler->log(level, message);
}

std::size_t SignalCache::trimLocked() {
  if (m_cachedSignals.size() <= kMaximumNumberOfSignals) return 0;
  const auto dropped = m_cachedSignals.size() - kMaximumNumberOfSignals;
  m_cachedSignals.erase(m_cachedSignals.begin(), m_cachedSignals.begin() + dropped);
  return dropped;
}

void SignalCache::reportDropped(std::size_t dropped) const {
  if (dropped == 0) return;
  log(LogHandler::LogLevel::info, "Dropped the " + std::to_string(dropped) +
                                      " oldest signals: the queue keeps at most " +
                                      std::to_string(kMaximumNumberOfSignals));
}

}  // namespace tessra::telemetry
