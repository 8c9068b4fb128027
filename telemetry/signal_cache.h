// The first-in-first-out list of signals waiting to be posted, and its file that keeps them
// across quits.
//
// Signals are pushed at the back and popped in batches from the front. At quit `backupCache()`
// writes the list to "telemetrysignalcache" in the user's cache folder and empties it; the next
// start's `loadCachedSignals()` reads the file back and deletes it. The list keeps at most
// `kMaximumNumberOfSignals`; pushing beyond that drops the oldest.
//
// Threads: every operation may come from any thread; the list is guarded by the cache's mutex,
// which is never held while the log handler runs.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/log_handler.h"
#include "telemetry/signal_post_body.h"

namespace tessra::telemetry {

class SignalCache {
 public:
  static constexpr std::size_t kMaximumNumberOfSignalsToPopAtOnce = 100;
  static constexpr std::size_t kMaximumNumberOfSignals = 1000;
  static constexpr const char* kFileName = "telemetrysignalcache";

  // Loads the cache file at once. `fileURL` defaults to the file in the user's cache folder.
  explicit SignalCache(std::optional<LogHandler> logHandler,
                       std::filesystem::path fileURL = defaultFileURL());
  SignalCache(const SignalCache&) = delete;
  SignalCache& operator=(const SignalCache&) = delete;

  // "${XDG_CACHE_HOME:-~/.cache}/TessraAI/telemetrysignalcache".
  static std::filesystem::path defaultFileURL();

  void push(SignalPostBody signal);
  // Appends the signals in their order.
  void push(std::vector<SignalPostBody> signals);
  // Removes and returns up to `maximum` signals from the front, oldest first.
  std::vector<SignalPostBody> pop(std::size_t maximum = kMaximumNumberOfSignalsToPopAtOnce);
  std::size_t count() const;

  // Writes the list to the file (atomically, creating its folder) and empties the list. When
  // the file cannot be written the list stays.
  void backupCache();
  // Replaces the list with the file's signals and deletes the file. A file that is not a JSON
  // array loads nothing; records in it that cannot be read are skipped.
  void loadCachedSignals();

  const std::filesystem::path& fileURL() const { return m_fileURL; }

 private:
  void log(LogHandler::LogLevel level, const std::string& message) const;
  // Drops the oldest beyond the limit; returns how many. Called with the mutex held.
  std::size_t trimLocked();
  void reportDropped(std::size_t dropped) const;

  const std::optional<LogHandler> m_logHandler;
  const std::filesystem::path m_fileURL;
  mutable std::mutex m_mutex;  // guards m_cachedSignals
  std::deque<SignalPostBody> m_cachedSignals;
};

}  // namespace tessra::telemetry
