// The first-in-first-out list of signals waiting to be posted, and its file that keeps them
// across quits.
//
// Signals are pushed at the back and popped in batches from the front. `save` writes the list
// (with the batches being posted, which the owner hands in) to "telemetrysignalcache" in the
// user's cache folder whenever it changes, and at quit `backupCache()` writes it once more and
// empties it; the next start's `loadCachedSignals()` reads the file back. The file is only ever
// replaced whole, never deleted: a crash or a kill at any moment leaves every signal that was
// not yet delivered on disk. The list keeps at most `kMaximumNumberOfSignals`; pushing beyond
// that drops the oldest.
//
// Threads: every operation may come from any thread; the list is guarded by the cache's mutex,
// which is never held while the log handler runs.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
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
  void push(std::vector<SignalPostBody> batch);
  // Removes and returns up to `maximum` signals from the front, oldest first.
  std::vector<SignalPostBody> pop(std::size_t maximum = kMaximumNumberOfSignalsToPopAtOnce);
  std::size_t count() const;

  // Writes the list followed by `alsoUnsent` to the file (atomically, creating its folder); the
  // list stays. False, with a log line, when the file cannot be written.
  bool save(std::span<const SignalPostBody> alsoUnsent = {});
  // Saves the list and empties it. When the file cannot be written the list stays.
  void backupCache();
  // Replaces the list with the file's signals; the file stays until the next save replaces it.
  // A file that is not a JSON array loads nothing; records in it that cannot be read are
  // skipped.
  void loadCachedSignals();

  const std::filesystem::path& fileURL() const { return m_fileURL; }

 private:
  void log(LogHandler::LogLevel level, const std::string& message) const;
  // Writes the list and `alsoUnsent` with `lock` held; the size written, or nothing (logged, and
  // `lock` released) when the file could not be written.
  std::optional<std::size_t> writeLocked(std::unique_lock<std::mutex>& lock,
                                         std::span<const SignalPostBody> alsoUnsent);
  // Drops the oldest beyond the limit; returns how many. Called with the mutex held.
  std::size_t trimLocked();
  void reportDropped(std::size_t dropped) const;

  const std::optional<LogHandler> m_logHandler;
  const std::filesystem::path m_fileURL;
  mutable std::mutex m_mutex;  // guards m_cachedSignals
  std::deque<SignalPostBody> m_cachedSignals;
};

}  // namespace tessra::telemetry
