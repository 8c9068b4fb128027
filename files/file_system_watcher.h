// Watches any number of paths, with everything below them, and hands every change to a callback
// as a `FileSystemEvent` with its id, path and flags.
//
//   auto stream = watchStream({Path("/data")}, 0.1, nullptr,
//                             [](const FileSystemEvent& e) { ... });
//
// Built on inotify, one watch per directory, added as directories appear. Events that arrive
// within `latency` seconds are delivered together, in order, and events for one path within one
// delivery are merged into one (their flags joined). With `FileEvents` each event names the item
// that changed; without it, the directory that holds it, with flags `None`. What inotify cannot
// give:
//   - history: ids are this process's own and start anew each run, so a starting id other than
//     `sinceNowEventId` cannot replay the past; the stream then begins with one `HistoryDone`
//     event, as a replay would end;
//   - `OwnEvent`, `IgnoreSelf`, `MarkSelf`: the kernel does not say which process made a change;
//   - `ItemXattrMod`, `ItemChangeOwner`, `ItemFinderInfoMod`, hard-link flags: all metadata changes
//     are `ItemInodeMetaMod`;
//   - paths that do not exist when watching starts are not watched.
// A full kernel queue gives one event per watched path with `MustScanSubDirs | KernelDropped`.
// A watched path that is itself removed or moved gives `RootChanged` with `WatchRoot`, otherwise
// `ItemRemoved` or `ItemRenamed` for that path.
//
// Threads: the callback runs on `queue` when one is given, otherwise on the watchers' own event
// thread; `flushSync()` delivers on the calling thread. `watch()`, `close()` and the flushes may
// be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "files/event_loop.h"
#include "files/file_system_events.h"
#include "files/path.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/unique_fd.h"

namespace tessra::files {

class FileSystemWatcher : public std::enable_shared_from_this<FileSystemWatcher> {
 public:
  using Callback = std::function<void(const FileSystemEvent&)>;

  // `queue` (when given) must outlive the watcher.
  static std::shared_ptr<FileSystemWatcher> make(std::vector<Path> paths, std::uint64_t sinceWhen,
                                                 FileSystemEventStreamCreateFlags flags,
                                                 platform::Queue* queue, Callback callback,
                                                 double latency);
  ~FileSystemWatcher();
  FileSystemWatcher(const FileSystemWatcher&) = delete;
  FileSystemWatcher& operator=(const FileSystemWatcher&) = delete;

  const std::vector<Path>& paths() const { return m_paths; }
  double latency() const { return m_latency; }
  FileSystemEventStreamCreateFlags flags() const { return m_flags; }
  // The id of the last event delivered (the starting id until then).
  std::uint64_t lastEventId() const;
  bool isStarted() const;

  // Starts watching; nothing when started. When the kernel refuses, the watcher stays stopped.
  void watch();
  // Stops; events not yet delivered are dropped, also those already handed to `queue`. Nothing
  // when stopped.
  void close();
  // Delivers what is pending now, without or with waiting for it.
  void flushAsync();
  void flushSync();

 private:
  FileSystemWatcher(std::vector<Path> paths, std::uint64_t sinceWhen,
                    FileSystemEventStreamCreateFlags flags, platform::Queue* queue,
                    Callback callback, double latency);

  void addTree(const std::string& directory);
  void addWatch(const std::string& path, bool isRoot);
  void removeTree(const std::string& directory);
  void readEvents();
  void record(std::string path, std::int64_t flags);
  void deliverPending();

  const std::vector<Path> m_paths;
  const double m_latency;
  const FileSystemEventStreamCreateFlags m_flags;
  platform::Queue* const m_queue;
  const Callback m_callback;
  // Counts the closes, so that a batch queued before one is dropped.
  std::atomic<std::uint64_t> m_closes{0};

  // Guards the fields below.
  mutable std::mutex m_mutex;
  std::uint64_t m_lastEventId;
  bool m_started = false;
  platform::UniqueFd m_inotifyFd;
  std::optional<detail::EventLoop::Id> m_source;
  std::map<int, std::string> m_watches;  // watch descriptor -> watched path
  std::map<std::string, bool> m_roots;   // root path -> is a directory
  std::vector<FileSystemEvent> m_pending;
  bool m_armed = false;                              // a delivery deadline is set
  std::map<std::uint32_t, std::string> m_movedFrom;  // rename cookie -> directory moved away
};

// Watches the paths from now on with `UseCFTypes | FileEvents` and starts.
std::shared_ptr<FileSystemWatcher> watchStream(std::vector<Path> paths, double latency,
                                               platform::Queue* queue,
                                               FileSystemWatcher::Callback callback);

}  // namespace tessra::files
