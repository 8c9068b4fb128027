#include "telemetry/signal_cache.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/foundation/json.h"

namespace tessra::telemetry {

namespace {

std::filesystem::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

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

// Writes the whole file through a temporary file in the same folder that is flushed to disk and
// renamed over the old one, so a crash leaves either the old file or the new one.
void writeAtomically(const std::filesystem::path& file, const std::string& data) {
  std::filesystem::create_directories(file.parent_path());
  std::string temporary = file.string() + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "Cannot create " + temporary);
  const auto fail = [&](const char* what) {
    const int error = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    throw std::system_error(error, std::generic_category(), what);
  };
  if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) fail("Cannot set the file's mode");
  std::size_t written = 0;
  while (written < data.size()) {
    const auto n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("Cannot write the file");
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) fail("Cannot flush the file");
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw std::system_error(error, std::generic_category(), "Cannot close the file");
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw std::system_error(error, std::generic_category(), "Cannot replace " + file.string());
  }
}

}  // namespace

SignalCache::SignalCache(std::optional<LogHandler> logHandler, std::filesystem::path fileURL)
    : m_logHandler(std::move(logHandler)), m_fileURL(std::move(fileURL)) {
  loadCachedSignals();
}

std::filesystem::path SignalCache::defaultFileURL() {
  std::filesystem::path caches;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') {
    caches = xdg;
  } else {
    caches = homeFolder() / ".cache";
  }
  return caches / "TessraAI" / kFileName;
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

void SignalCache::backupCache() {
  std::unique_lock lock(m_mutex);
  const auto count = m_cachedSignals.size();
  std::string data;
  try {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& signal : m_cachedSignals) list.push_back(signal);
    data = platform::encodeJson(list);
    writeAtomically(m_fileURL, data);
  } catch (const std::exception& e) {
    lock.unlock();
    log(LogHandler::LogLevel::error, "Error saving Telemetry cache");
    log(LogHandler::LogLevel::error, e.what());
    return;
  }
  m_cachedSignals.clear();
  lock.unlock();
  log(LogHandler::LogLevel::info, "Saved Telemetry cache " + std::to_string(data.size()) +
                                      " bytes of " + std::to_string(count) + " signals");
}

void SignalCache::loadCachedSignals() {
  log(LogHandler::LogLevel::info, "Loading Telemetry cache from: " + fileUrlText(m_fileURL));
  std::ifstream in(m_fileURL, std::ios::binary);
  if (!in) return;
  const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  // Gone before it is decoded, so a file that cannot be read never comes back at every start.
  std::error_code ignored;
  std::filesystem::remove(m_fileURL, ignored);

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
