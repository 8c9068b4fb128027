#include "files/file_system_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <utility>

#include "platform/foundation/logger.h"

namespace tessra::files {

namespace {

using Flags = FileSystemEventFlags;

constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MODIFY | IN_ATTRIB |
                                IN_MOVED_FROM | IN_MOVED_TO | IN_MOVE_SELF | IN_DONT_FOLLOW |
                                IN_EXCL_UNLINK;

// Flags a directory-level stream still reports: they concern the stream, not one item.
constexpr std::int64_t kStreamFlags = Flags::MustScanSubDirs | Flags::UserDropped |
                                      Flags::KernelDropped | Flags::HistoryDone |
                                      Flags::RootChanged | Flags::Mount | Flags::Unmount;

std::atomic<std::uint64_t> g_nextEventId{1};

bool isUnder(const std::string& path, const std::string& directory) {
  return path == directory || (path.size() > directory.size() && path.starts_with(directory) &&
                               path[directory.size()] == '/');
}

std::int64_t kindOf(const std::string& path, bool isDirectory) {
  if (isDirectory) return Flags::ItemIsDir;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return Flags::ItemIsSymlink;
  return Flags::ItemIsFile;
}

}  // namespace

FileSystemWatcher::FileSystemWatcher(std::vector<Path> paths, std::uint64_t sinceWhen,
                                     FileSystemEventStreamCreateFlags flags, platform::Queue* queue,
                                     Callback callback, double latency)
    : m_paths(std::move(paths)),
      m_latency(latency),
      m_flags(flags),
      m_queue(queue),
      m_callback(std::move(callback)),
      m_lastEventId(sinceWhen) {}

std::shared_ptr<FileSystemWatcher> FileSystemWatcher::make(std::vector<Path> paths,
                                                           std::uint64_t sinceWhen,
                                                           FileSystemEventStreamCreateFlags flags,
                                                           platform::Queue* queue,
                                                           Callback callback, double latency) {
  return std::shared_ptr<FileSystemWatcher>(new FileSystemWatcher(
      std::move(paths), sinceWhen, flags, queue, std::move(callback), latency));
}

FileSystemWatcher::~FileSystemWatcher() { close(); }

std::uint64_t FileSystemWatcher::lastEventId() const {
  std::lock_guard lock(m_mutex);
  return m_lastEventId;
}

bool FileSystemWatcher::isStarted() const {
  std::lock_guard lock(m_mutex);
  return m_started;
}

void FileSystemWatcher::watch() {
  std::lock_guard lock(m_mutex);
  if (m_started) return;
  m_inotifyFd.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!m_inotifyFd) {
    platform::logError("Could not start watching files: inotify_init1 failed ({})", errno);
    return;
  }
  for (const auto& path : m_paths) {
    const std::string text = path.absolute().systemText();
    struct stat info {};
    if (::stat(text.c_str(), &info) != 0) {
      platform::logInfo("Not watching \"{}\": it does not exist", text);
      continue;
    }
    m_roots[text] = S_ISDIR(info.st_mode);
    if (S_ISDIR(info.st_mode)) {
      addTree(text);
    } else {
      addWatch(text, true);
    }
  }
  if (m_watches.empty()) {
    m_inotifyFd.reset();
    m_roots.clear();
    return;
  }
  const std::weak_ptr<FileSystemWatcher> weak = weak_from_this();
  m_source = detail::EventLoop::shared().add(
      m_inotifyFd.get(),
      [weak] {
        if (auto self = weak.lock()) self->readEvents();
      },
      [weak] {
        if (auto self = weak.lock()) self->deliverPending();
      });
  m_started = true;
  if (m_lastEventId != FileSystemEvent::sinceNowEventId) {
    m_pending.push_back({g_nextEventId++, Path(), {Flags::HistoryDone}});
    m_armed = true;
    detail::EventLoop::shared().setDeadline(*m_source, detail::EventLoop::Clock::now());
  }
}

void FileSystemWatcher::close() {
  std::optional<detail::EventLoop::Id> source;
  platform::UniqueFd fd;
  {
    std::lock_guard lock(m_mutex);
    if (!m_started) return;
    m_started = false;
    source = std::exchange(m_source, std::nullopt);
    fd = std::move(m_inotifyFd);
    m_watches.clear();
    m_roots.clear();
    m_pending.clear();
    m_movedFrom.clear();
    m_armed = false;
  }
  // Outside the lock: removing waits for a running handler, which may be waiting for the lock.
  if (source) detail::EventLoop::shared().remove(*source);
  fd.reset();
  // Counted only now: a delivery that was running above has queued its batch by now.
  ++m_closes;
}

void FileSystemWatcher::flushAsync() {
  std::lock_guard lock(m_mutex);
  if (!m_source) return;
  m_armed = true;
  detail::EventLoop::shared().setDeadline(*m_source, detail::EventLoop::Clock::now());
}

void FileSystemWatcher::flushSync() {
  if (!isStarted()) return;
  readEvents();
  deliverPending();
}

void FileSystemWatcher::addWatch(const std::string& path, bool isRoot) {
  const int wd = ::inotify_add_watch(m_inotifyFd.get(), path.c_str(), kMask);
  if (wd < 0) {
    // A folder that vanished or cannot be read is simply not watched; a full watch table is
    // worth a line, since changes below go unseen.
    if (errno == ENOSPC) platform::logError("Too many watched folders; not watching \"{}\"", path);
    if (isRoot && errno != ENOENT) platform::logError("Could not watch \"{}\" ({})", path, errno);
    return;
  }
  m_watches[wd] = path;
}

void FileSystemWatcher::addTree(const std::string& directory) {
  addWatch(directory, m_roots.contains(directory));
  std::error_code error;
  namespace fs = std::filesystem;
  for (fs::recursive_directory_iterator
           it(directory, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) addWatch(it->path().string(), false);
  }
}

void FileSystemWatcher::removeTree(const std::string& directory) {
  for (auto it = m_watches.begin(); it != m_watches.end();) {
    if (isUnder(it->second, directory)) {
      ::inotify_rm_watch(m_inotifyFd.get(), it->first);
      it = m_watches.erase(it);
    } else {
      ++it;
    }
  }
}

void FileSystemWatcher::record(std::string path, std::int64_t flags) {
  if (!m_flags.contains(FileSystemEventStreamCreateFlags::FileEvents)) flags &= kStreamFlags;
  for (auto& pending : m_pending) {
    if (pending.path.rawValue() == path) {
      pending.flags.rawValue |= flags;
      return;
    }
  }
  m_pending.push_back({g_nextEventId++, Path(std::move(path)), {flags}});
}

void FileSystemWatcher::readEvents() {
  std::unique_lock lock(m_mutex);
  if (!m_inotifyFd) return;
  const bool fileEvents = m_flags.contains(FileSystemEventStreamCreateFlags::FileEvents);
  alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
  for (;;) {
    const ssize_t n = ::read(m_inotifyFd.get(), buffer.data(), buffer.size());
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const std::uint32_t mask = event->mask;
      if (mask & IN_Q_OVERFLOW) {
        for (const auto& [root, isDirectory] : m_roots)
          record(root, Flags::MustScanSubDirs | Flags::KernelDropped);
        continue;
      }
      const auto watched = m_watches.find(event->wd);
      if (watched == m_watches.end()) continue;
      const std::string base = watched->second;
      if (mask & IN_IGNORED) {
        m_watches.erase(watched);
        continue;
      }
      const bool isSelf = event->len == 0 || event->name[0] == '\0';
      const bool isDirectory = (mask & IN_ISDIR) != 0;
      if (isSelf) {
        const auto root = m_roots.find(base);
        // A folder below a root reports its own changes to its parent's watch too; only roots
        // speak for themselves.
        if (root == m_roots.end()) continue;
        if (mask & IN_UNMOUNT) {
          record(base, Flags::Unmount);
          continue;
        }
        if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
          if (m_flags.contains(FileSystemEventStreamCreateFlags::WatchRoot)) {
            record(base, Flags::RootChanged);
          } else {
            const std::int64_t what =
                (mask & IN_DELETE_SELF) ? Flags::ItemRemoved : Flags::ItemRenamed;
            record(base, what | (root->second ? Flags::ItemIsDir : Flags::ItemIsFile));
          }
          continue;
        }
        // Only a watched file reports its own data and metadata changes here.
        if (root->second) continue;
      }
      const std::string path = isSelf ? base : base + "/" + event->name;
      std::int64_t flags = kindOf(path, isDirectory || (isSelf && m_roots[base]));
      if (mask & IN_CREATE) flags |= Flags::ItemCreated;
      if (mask & IN_DELETE) flags |= Flags::ItemRemoved;
      if (mask & (IN_MOVED_FROM | IN_MOVED_TO)) flags |= Flags::ItemRenamed;
      if (mask & IN_MODIFY) flags |= Flags::ItemModified;
      if (mask & IN_ATTRIB) flags |= Flags::ItemInodeMetaMod;
      record(fileEvents ? path : (isSelf ? Path(base).parent().rawValue() : base), flags);

      if (!isDirectory) continue;
      if (mask & IN_CREATE) {
        addTree(path);
        // Items made inside before the new folder was watched would go unseen otherwise.
        for (const Path& inside : Path(path).children(true)) {
          record(inside.rawValue(),
                 Flags::ItemCreated | kindOf(inside.rawValue(), inside.isDirectoryItem()));
        }
      } else if (mask & IN_MOVED_FROM) {
        m_movedFrom[event->cookie] = path;
      } else if (mask & IN_MOVED_TO) {
        const auto from = m_movedFrom.find(event->cookie);
        if (from == m_movedFrom.end()) {
          addTree(path);
          continue;
        }
        for (auto& [wd, watchedPath] : m_watches) {
          if (isUnder(watchedPath, from->second))
            watchedPath = path + watchedPath.substr(from->second.size());
        }
        m_movedFrom.erase(from);
      }
    }
  }
  // A folder moved out of the watched trees leaves them.
  for (const auto& [cookie, directory] : m_movedFrom) removeTree(directory);
  m_movedFrom.clear();
  if (m_pending.empty() || m_armed || !m_source) return;
  m_armed = true;
  const bool noDefer = m_flags.contains(FileSystemEventStreamCreateFlags::FlagNoDefer);
  const auto delay = std::chrono::duration_cast<detail::EventLoop::Clock::duration>(
      std::chrono::duration<double>(noDefer ? 0.0 : m_latency));
  detail::EventLoop::shared().setDeadline(*m_source, detail::EventLoop::Clock::now() + delay);
}

void FileSystemWatcher::deliverPending() {
  std::vector<FileSystemEvent> batch;
  std::uint64_t closes = 0;
  {
    std::lock_guard lock(m_mutex);
    m_armed = false;
    if (!m_started || m_pending.empty()) return;
    batch = std::exchange(m_pending, {});
    closes = m_closes.load();
  }
  const std::uint64_t last = batch.back().id;
  if (m_queue != nullptr) {
    m_queue->async([weak = weak_from_this(), batch = std::move(batch), closes] {
      const auto self = weak.lock();
      if (!self || self->m_closes.load() != closes) return;
      for (const auto& event : batch) self->m_callback(event);
    });
  } else {
    for (const auto& event : batch) m_callback(event);
  }
  std::lock_guard lock(m_mutex);
  m_lastEventId = last;
}

std::shared_ptr<FileSystemWatcher> watchStream(std::vector<Path> paths, double latency,
                                               platform::Queue* queue,
                                               FileSystemWatcher::Callback callback) {
  auto watcher = FileSystemWatcher::make(
      std::move(paths), FileSystemEvent::sinceNowEventId,
      {FileSystemEventStreamCreateFlags::UseCFTypes | FileSystemEventStreamCreateFlags::FileEvents},
      queue, std::move(callback), latency);
  watcher->watch();
  return watcher;
}

}  // namespace tessra::files
