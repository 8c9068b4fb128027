// Watches one file or directory and reports each kind of change to a delegate or a callback.
//
//   auto watcher = watch(Path("/data/notes.txt"), {DispatchFileSystemEvents::All}, nullptr, {},
//                        [](DispatchFileSystemWatcher& w) { use(w.currentEvent()); });
//
// Built on inotify. When the item does not exist yet and `Create` is asked for, the watcher waits
// for it through its parent directory, reports `Create` once it appears as a regular file or
// directory and then watches the item itself. What the kernel reports, and how it maps:
//   Delete    the item was removed (its last link gone)      Write   data changed; for a
//   Extend    data changed and the file grew                         directory: an entry was
//   Attribute metadata changed                                       added, removed or renamed
//   Link      the link count changed                         Rename  the item was moved
//   Revoke    the file system holding it was unmounted
// Changes that arrive together are delivered together as one set of bits.
//
// Threads: notifications run on `queue` when one is given, otherwise on the watchers' own event
// thread (never on the thread that started the watcher). Start, stop and destruction may come
// from any thread; destroying the watcher stops it, and once `stopWatching()` returns off the
// event thread no notification of this watcher starts any more (one already running on `queue`
// may still be finishing there).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "files/event_loop.h"
#include "files/file_system_events.h"
#include "files/path.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/unique_fd.h"

namespace tessra::files {

class DispatchFileSystemWatcher;

// Each notification receives the watcher; any of them may be left as it is.
class DispatchFileSystemWatcherDelegate {
 public:
  virtual ~DispatchFileSystemWatcherDelegate() = default;
  virtual void didObserveDelete(DispatchFileSystemWatcher&) {}
  virtual void didObserveWrite(DispatchFileSystemWatcher&) {}
  virtual void didObserveExtend(DispatchFileSystemWatcher&) {}
  virtual void didObserveAttribute(DispatchFileSystemWatcher&) {}
  virtual void didObserveLink(DispatchFileSystemWatcher&) {}
  virtual void didObserveRename(DispatchFileSystemWatcher&) {}
  virtual void didObserveRevoke(DispatchFileSystemWatcher&) {}
  virtual void didObserveCreate(DispatchFileSystemWatcher&) {}
  virtual void didObserveDirectoryChange(DispatchFileSystemWatcher&) {}
};

class DispatchFileSystemWatcher : public std::enable_shared_from_this<DispatchFileSystemWatcher> {
 public:
  using Callback = std::function<void(DispatchFileSystemWatcher&)>;

  // The path is made absolute. `queue` (when given) must outlive the watcher.
  static std::shared_ptr<DispatchFileSystemWatcher> make(const Path& path,
                                                         DispatchFileSystemEvents events,
                                                         platform::Queue* queue = nullptr,
                                                         Callback callback = {});
  ~DispatchFileSystemWatcher();
  DispatchFileSystemWatcher(const DispatchFileSystemWatcher&) = delete;
  DispatchFileSystemWatcher& operator=(const DispatchFileSystemWatcher&) = delete;

  const Path& path() const { return m_path; }
  DispatchFileSystemEvents events() const { return m_events; }

  // Notified when there is no callback; held weakly.
  void setDelegate(std::weak_ptr<DispatchFileSystemWatcherDelegate> delegate);
  std::shared_ptr<DispatchFileSystemWatcherDelegate> delegate() const;

  // The parent-directory watcher that waits for the item to appear, while it waits.
  std::shared_ptr<DispatchFileSystemWatcher> createWatcher() const;
  // The inotify descriptor while watching, -1 otherwise.
  int fileDescriptor() const;

  // During a notification: the bits being delivered. Otherwise the last bits delivered, `Create`
  // while waiting for the item, or none.
  DispatchFileSystemEvents currentEvent() const;

  // False when already watching, when the item is neither a regular file nor a directory, when it
  // is missing and `Create` was not asked for (or its parent is no directory), when nobody would
  // be told, or when the kernel refuses the watch.
  bool startWatching();
  void stopWatching();

 private:
  DispatchFileSystemWatcher(Path path, DispatchFileSystemEvents events, platform::Queue* queue,
                            Callback callback);

  void drain();
  void deliver(std::uint64_t bits);
  void notify(std::uint64_t bits);
  void itemAppeared(DispatchFileSystemWatcher& parent);

  const Path m_path;
  const DispatchFileSystemEvents m_events;
  platform::Queue* const m_queue;
  const Callback m_callback;

  // Guards the fields below.
  mutable std::mutex m_mutex;
  std::weak_ptr<DispatchFileSystemWatcherDelegate> m_delegate;
  std::shared_ptr<DispatchFileSystemWatcher> m_createWatcher;
  platform::UniqueFd m_inotifyFd;
  std::optional<detail::EventLoop::Id> m_source;
  bool m_isDirectory = false;
  bool m_deleted = false;
  bool m_renamed = false;
  std::uint64_t m_lastSize = 0;
  std::uint64_t m_lastLinkCount = 0;

  std::atomic<std::uint64_t> m_currentEvent{0};
  // Counts the stops, so that a notification queued before one is dropped.
  std::atomic<std::uint64_t> m_stops{0};
};

// Makes a watcher, sets its delegate and starts it (whether it started is not looked at).
std::shared_ptr<DispatchFileSystemWatcher> watch(
    const Path& path, DispatchFileSystemEvents events = {DispatchFileSystemEvents::All},
    platform::Queue* queue = nullptr,
    std::weak_ptr<DispatchFileSystemWatcherDelegate> delegate = {},
    DispatchFileSystemWatcher::Callback callback = {});

}  // namespace tessra::files
