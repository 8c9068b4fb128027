// A count that threads raise and a test waits on, with a deadline instead of a sleep.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tessra::testing {

class Counter {
 public:
  static constexpr std::chrono::milliseconds kDeadline{10000};

  // Notifies under the lock: the waiting test may destroy the counter as soon as it wakes.
  void add(int n = 1) {
    std::lock_guard lock(m_mutex);
    m_value += n;
    m_changed.notify_all();
  }
  int value() const {
    std::lock_guard lock(m_mutex);
    return m_value;
  }
  bool waitForAtLeast(int n, std::chrono::milliseconds timeout = kDeadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_value >= n; });
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_value = 0;
};

}  // namespace tessra::testing
