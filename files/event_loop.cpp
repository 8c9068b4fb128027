#include "files/event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/foundation/logger.h"
#include "platform/foundation/unique_fd.h"

namespace tessra::files::detail {

struct EventLoop::State {
  struct Handlers {
    std::function<void()> onReadable;
    std::function<void()> onDeadline;
  };
  struct Entry {
    int fd = -1;
    std::shared_ptr<Handlers> handlers;
    std::optional<Clock::time_point> deadline;
  };

  platform::UniqueFd epollFd;
  platform::UniqueFd wakeFd;
  std::thread thread;

  // Guards everything below.
  std::mutex mutex;
  std::condition_variable handlerFinished;
  std::map<Id, Entry> entries;
  Id nextId = 1;
  Id running = 0;
  bool stopping = false;

  void wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd.get(), &one, sizeof one);
  }

  void run(Id id, bool deadline) {
    std::shared_ptr<Handlers> handlers;
    {
      std::lock_guard lock(mutex);
      const auto it = entries.find(id);
      if (it == entries.end()) return;
      handlers = it->second.handlers;
      running = id;
    }
    const auto& handler = deadline ? handlers->onDeadline : handlers->onReadable;
    if (handler) handler();
    {
      std::lock_guard lock(mutex);
      running = 0;
    }
    handlerFinished.notify_all();
  }

  void loop() {
    std::array<epoll_event, 32> ready{};
    for (;;) {
      int timeout = -1;
      {
        std::lock_guard lock(mutex);
        if (stopping) return;
        const auto now = Clock::now();
        for (const auto& [id, entry] : entries) {
          if (!entry.deadline) continue;
          const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*entry.deadline - now);
          const int ms = static_cast<int>(std::max<std::int64_t>(0, wait.count()));
          timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }
      }
      const int count =
          ::epoll_wait(epollFd.get(), ready.data(), static_cast<int>(ready.size()), timeout);
      if (count < 0 && errno != EINTR) {
        platform::logError("File watchers stopped: epoll_wait failed ({})", errno);
        return;
      }
      for (int i = 0; i < count; ++i) {
        const Id id = ready[static_cast<std::size_t>(i)].data.u64;
        if (id == 0) {
          std::uint64_t drained = 0;
          [[maybe_unused]] const auto n = ::read(wakeFd.get(), &drained, sizeof drained);
          continue;
        }
        run(id, false);
      }
      std::vector<Id> due;
      {
        std::lock_guard lock(mutex);
        const auto now = Clock::now();
        for (auto& [id, entry] : entries) {
          if (entry.deadline && *entry.deadline <= now) {
            entry.deadline.reset();
            due.push_back(id);
          }
        }
      }
      for (const Id id : due) run(id, true);
    }
  }
};

EventLoop& EventLoop::shared() {
  static EventLoop loop;
  return loop;
}

EventLoop::EventLoop() : m_state(std::make_unique<State>()) {
  m_state->epollFd.reset(::epoll_create1(EPOLL_CLOEXEC));
  m_state->wakeFd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!m_state->epollFd || !m_state->wakeFd)
    throw std::system_error(errno, std::generic_category(), "epoll");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = 0;
  ::epoll_ctl(m_state->epollFd.get(), EPOLL_CTL_ADD, m_state->wakeFd.get(), &event);
  m_state->thread = std::thread([state = m_state.get()] { state->loop(); });
}

EventLoop::~EventLoop() {
  {
    std::lock_guard lock(m_state->mutex);
    m_state->stopping = true;
  }
  m_state->wake();
  if (m_state->thread.joinable()) m_state->thread.join();
}

EventLoop::Id EventLoop::add(int fd, std::function<void()> onReadable,
                             std::function<void()> onDeadline) {
  std::lock_guard lock(m_state->mutex);
  const Id id = m_state->nextId++;
  auto handlers = std::make_shared<State::Handlers>();
  handlers->onReadable = std::move(onReadable);
  handlers->onDeadline = std::move(onDeadline);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = id;
  if (::epoll_ctl(m_state->epollFd.get(), EPOLL_CTL_ADD, fd, &event) != 0)
    throw std::system_error(errno, std::generic_category(), "epoll_ctl");
  m_state->entries.emplace(id, State::Entry{fd, std::move(handlers), std::nullopt});
  return id;
}

void EventLoop::setDeadline(Id id, std::optional<Clock::time_point> deadline) {
  {
    std::lock_guard lock(m_state->mutex);
    const auto it = m_state->entries.find(id);
    if (it == m_state->entries.end()) return;
    it->second.deadline = deadline;
  }
  m_state->wake();
}

void EventLoop::remove(Id id) {
  std::shared_ptr<State::Handlers> released;
  {
    std::unique_lock lock(m_state->mutex);
    const auto it = m_state->entries.find(id);
    if (it == m_state->entries.end()) return;
    ::epoll_ctl(m_state->epollFd.get(), EPOLL_CTL_DEL, it->second.fd, nullptr);
    released = std::move(it->second.handlers);
    m_state->entries.erase(it);
    if (!isLoopThread()) {
      m_state->handlerFinished.wait(lock, [&] { return m_state->running != id; });
    }
  }
  // The handlers may own the last reference to their watcher: release them outside the lock.
  released.reset();
}

bool EventLoop::isLoopThread() const {
  return std::this_thread::get_id() == m_state->thread.get_id();
}

}  // namespace tessra::files::detail
