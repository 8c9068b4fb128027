// The watchers' one event thread: waits on the inotify descriptors of every running watcher and on
// their delivery deadlines, and runs their handlers one at a time on that thread.
//
// Internal to the files library. Handlers run on the loop thread without any lock of the loop
// held, so a handler may add, remove or re-arm registrations, its own included.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace tessra::files::detail {

class EventLoop {
 public:
  using Id = std::uint64_t;
  using Clock = std::chrono::steady_clock;

  static EventLoop& shared();

  // Watches `fd` for input: `onReadable` runs on the loop thread when it can be read, `onDeadline`
  // when a deadline set with `setDeadline` has passed.
  Id add(int fd, std::function<void()> onReadable, std::function<void()> onDeadline = {});
  void setDeadline(Id id, std::optional<Clock::time_point> deadline);
  // After it returns the handlers of `id` do not run again; called off the loop thread it also
  // waits for a handler of `id` that is running to finish.
  void remove(Id id);
  bool isLoopThread() const;

  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

 private:
  EventLoop();
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace tessra::files::detail
