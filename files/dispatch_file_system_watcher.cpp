#include "files/dispatch_file_system_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "platform/foundation/logger.h"

namespace tessra::files {

namespace {

using Events = DispatchFileSystemEvents;

std::uint32_t inotifyMask(std::uint64_t events, bool isDirectory) {
  std::uint32_t mask = IN_DONT_FOLLOW;
  if (events & Events::Delete) mask |= IN_DELETE_SELF | IN_ATTRIB;
  if (events & Events::Rename) mask |= IN_MOVE_SELF;
  if (events & Events::Attribute) mask |= IN_ATTRIB;
  if (isDirectory) {
    if (events & (Events::Write | Events::Link))
      mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (events & Events::Link) mask |= IN_ATTRIB;
  } else {
    if (events & (Events::Write | Events::Extend)) mask |= IN_MODIFY;
    if (events & Events::Link) mask |= IN_ATTRIB;
  }
  return mask;
}

bool isWatchable(const std::optional<FileType>& type) {
  return type == FileType::regular || type == FileType::directory;
}

}  // namespace

DispatchFileSystemWatcher::DispatchFileSystemWatcher(Path path, DispatchFileSystemEvents events,
                                                     platform::Queue* queue, Callback callback)
    : m_path(path.absolute()), m_events(events), m_queue(queue), m_callback(std::move(callback)) {}

std::shared_ptr<DispatchFileSystemWatcher> DispatchFileSystemWatcher::make(
    const Path& path, DispatchFileSystemEvents events, platform::Queue* queue, Callback callback) {
  return std::shared_ptr<DispatchFileSystemWatcher>(
      new DispatchFileSystemWatcher(path, events, queue, std::move(callback)));
}

DispatchFileSystemWatcher::~DispatchFileSystemWatcher() { stopWatching(); }

void DispatchFileSystemWatcher::setDelegate(
    std::weak_ptr<DispatchFileSystemWatcherDelegate> delegate) {
  std::lock_guard lock(m_mutex);
  m_delegate = std::move(delegate);
}

std::shared_ptr<DispatchFileSystemWatcherDelegate> DispatchFileSystemWatcher::delegate() const {
  std::lock_guard lock(m_mutex);
  return m_delegate.lock();
}

std::shared_ptr<DispatchFileSystemWatcher> DispatchFileSystemWatcher::createWatcher() const {
  std::lock_guard lock(m_mutex);
  return m_createWatcher;
}

int DispatchFileSystemWatcher::fileDescriptor() const {
  std::lock_guard lock(m_mutex);
  return m_inotifyFd.get();
}

DispatchFileSystemEvents DispatchFileSystemWatcher::currentEvent() const {
  {
    std::lock_guard lock(m_mutex);
    if (!m_source && m_createWatcher) return {Events::Create};
  }
  return {m_currentEvent.load()};
}

bool DispatchFileSystemWatcher::startWatching() {
  std::unique_lock lock(m_mutex);
  if (m_path.exists()) {
    const auto type = m_path.fileType();
    if (!isWatchable(type)) return false;
    if (m_source || m_inotifyFd) return false;
    // Checked before anything is opened, so a watcher nobody listens to holds no descriptor.
    if (!m_callback && m_delegate.expired()) return false;
    platform::UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd) return false;
    m_isDirectory = type == FileType::directory;
    const std::uint32_t mask = inotifyMask(m_events.rawValue & ~Events::Create, m_isDirectory);
    if (::inotify_add_watch(fd.get(), m_path.systemText().c_str(), mask) < 0) return false;
    struct stat info {};
    if (::stat(m_path.systemText().c_str(), &info) == 0) {
      m_lastSize = static_cast<std::uint64_t>(info.st_size);
      m_lastLinkCount = info.st_nlink;
    }
    m_deleted = false;
    m_renamed = false;
    m_inotifyFd = std::move(fd);
    const std::weak_ptr<DispatchFileSystemWatcher> weak = weak_from_this();
    m_source = detail::EventLoop::shared().add(
        m_inotifyFd.get(),
        [weak] {
          if (auto self = weak.lock()) self->drain();
        },
        // Used only by a parent watcher that must look again for an item that appeared while
        // it was being set up.
        [weak] {
          if (auto self = weak.lock()) self->deliver(Events::Write);
        });
    return true;
  }

  if (!m_events.contains(Events::Create) || m_createWatcher || m_source) return false;
  const Path parent = m_path.parent().absolute();
  if (parent.fileType() != FileType::directory) return false;
  const std::weak_ptr<DispatchFileSystemWatcher> weak = weak_from_this();
  auto parentWatcher = make(parent, {Events::Write}, nullptr, [weak](DispatchFileSystemWatcher& p) {
    if (auto self = weak.lock()) self->itemAppeared(p);
  });
  if (!parentWatcher->startWatching()) return false;
  m_createWatcher = parentWatcher;
  lock.unlock();
  // The item may have appeared before the parent was watched: have the parent look once more.
  if (isWatchable(m_path.fileType())) {
    std::lock_guard parentLock(parentWatcher->m_mutex);
    if (parentWatcher->m_source)
      detail::EventLoop::shared().setDeadline(*parentWatcher->m_source,
                                              detail::EventLoop::Clock::now());
  }
  return true;
}

void DispatchFileSystemWatcher::stopWatching() {
  std::optional<detail::EventLoop::Id> source;
  std::shared_ptr<DispatchFileSystemWatcher> createWatcher;
  platform::UniqueFd fd;
  {
    std::lock_guard lock(m_mutex);
    source = std::exchange(m_source, std::nullopt);
    fd = std::move(m_inotifyFd);
    createWatcher = std::move(m_createWatcher);
  }
  if (source) detail::EventLoop::shared().remove(*source);
  fd.reset();
  if (createWatcher) createWatcher->stopWatching();
  // Counted only now: a handler that was running above has queued its notification by now.
  ++m_stops;
}

void DispatchFileSystemWatcher::itemAppeared(DispatchFileSystemWatcher& parent) {
  if (!isWatchable(m_path.fileType())) return;
  std::shared_ptr<DispatchFileSystemWatcher> waiting;
  {
    std::lock_guard lock(m_mutex);
    if (m_createWatcher.get() != &parent) return;
    waiting = std::move(m_createWatcher);
  }
  // The item is watched before anyone hears of it, so a write made in answer to `Create` is seen.
  startWatching();
  deliver(Events::Create);
  parent.stopWatching();
}

void DispatchFileSystemWatcher::drain() {
  std::uint64_t bits = 0;
  bool checkSize = false;
  bool checkLinks = false;
  bool attributes = false;
  std::unique_lock lock(m_mutex);
  if (!m_inotifyFd) return;
  alignas(inotify_event) std::array<char, 16 * 1024> buffer{};
  for (;;) {
    const ssize_t n = ::read(m_inotifyFd.get(), buffer.data(), buffer.size());
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const std::uint32_t mask = event->mask;
      if (mask & IN_Q_OVERFLOW) bits |= Events::Write;
      if ((mask & IN_DELETE_SELF) && !m_deleted) {
        bits |= Events::Delete;
        m_deleted = true;
      }
      if (mask & IN_MOVE_SELF) {
        bits |= Events::Rename;
        m_renamed = true;
      }
      if (mask & IN_UNMOUNT) bits |= Events::Revoke;
      if (mask & IN_MODIFY) {
        bits |= Events::Write;
        checkSize = true;
      }
      if (mask & IN_ATTRIB) attributes = true;
      if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) {
        bits |= Events::Write;
        if (mask & IN_ISDIR) checkLinks = true;
      }
    }
  }
  if ((checkSize || checkLinks || attributes) && !m_renamed && !m_deleted) {
    struct stat info {};
    if (::stat(m_path.systemText().c_str(), &info) == 0) {
      const auto size = static_cast<std::uint64_t>(info.st_size);
      if (checkSize && size > m_lastSize) bits |= Events::Extend;
      m_lastSize = size;
      if (info.st_nlink != m_lastLinkCount) {
        bits |= Events::Link;
      } else if (attributes) {
        bits |= Events::Attribute;
      }
      m_lastLinkCount = info.st_nlink;
    } else if (errno == ENOENT && attributes) {
      // Unlinked while some process still holds it open: the kernel reports only the link count.
      bits |= Events::Delete | Events::Link;
      m_deleted = true;
    }
  } else if (attributes && !m_deleted) {
    bits |= Events::Attribute;
  }
  lock.unlock();
  bits &= m_events.rawValue;
  if (bits != 0) deliver(bits);
}

void DispatchFileSystemWatcher::deliver(std::uint64_t bits) {
  if (m_queue == nullptr) {
    notify(bits);
    return;
  }
  m_queue->async([weak = weak_from_this(), bits, stops = m_stops.load()] {
    const auto self = weak.lock();
    if (self && self->m_stops.load() == stops) self->notify(bits);
  });
}

void DispatchFileSystemWatcher::notify(std::uint64_t bits) {
  m_currentEvent.store(bits);
  if (m_callback) {
    m_callback(*this);
    return;
  }
  const auto delegate = this->delegate();
  if (!delegate) return;
  if (bits & Events::Delete) delegate->didObserveDelete(*this);
  if (bits & Events::Write) {
    if (m_path.isDirectory()) {
      delegate->didObserveDirectoryChange(*this);
    } else {
      delegate->didObserveWrite(*this);
    }
  }
  if (bits & Events::Extend) delegate->didObserveExtend(*this);
  if (bits & Events::Attribute) delegate->didObserveAttribute(*this);
  if (bits & Events::Link) delegate->didObserveLink(*this);
  if (bits & Events::Rename) delegate->didObserveRename(*this);
  if (bits & Events::Revoke) delegate->didObserveRevoke(*this);
  if (bits & Events::Create) delegate->didObserveCreate(*this);
}

std::shared_ptr<DispatchFileSystemWatcher> watch(
    const Path& path, DispatchFileSystemEvents events, platform::Queue* queue,
    std::weak_ptr<DispatchFileSystemWatcherDelegate> delegate,
    DispatchFileSystemWatcher::Callback callback) {
  auto watcher = DispatchFileSystemWatcher::make(path, events, queue, std::move(callback));
  watcher->setDelegate(std::move(delegate));
  watcher->startWatching();
  return watcher;
}

}  // namespace tessra::files
