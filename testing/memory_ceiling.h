// A bound on the resident memory a test may add, watched while it lives. A fault that reads a
// file without end (a label loading "/dev/zero" for an `<img>` tag) then stops the case at the
// bound, with a log line that says so, instead of taking the machine's memory first.
//
//   testing::MemoryCeiling ceiling(64 << 20);
//   view.showConversation(hostile);
//   EXPECT_LT(ceiling.growth(), 64u << 20);
//
// The watch runs on a thread of its own; the process is stopped from there, since the thread that
// crossed the bound may never come back.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace tessra::testing {

class MemoryCeiling {
 public:
  explicit MemoryCeiling(std::size_t bytes);
  ~MemoryCeiling();
  MemoryCeiling(const MemoryCeiling&) = delete;
  MemoryCeiling& operator=(const MemoryCeiling&) = delete;

  // How much the resident memory grew since the ceiling was made (0 when it shrank).
  std::size_t growth() const;

  // The resident memory of this process (VmRSS of /proc/self/status).
  static std::size_t residentBytes();

 private:
  void watch();

  const std::size_t m_baseline;
  const std::size_t m_bytes;
  std::mutex m_mutex;  // guards m_stopping
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::thread m_watcher;
};

}  // namespace tessra::testing
