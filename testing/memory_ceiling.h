// A bound on the memory a test, or a program it runs, may add, watched while it lives. A fault
// that reads without end (a label loading "/dev/zero" for an `<img>` tag, an answer that never
// stops) then stops the case at the bound, with a log line that says so, instead of taking the
// machine's memory first.
//
//   testing::MemoryCeiling ceiling(64 << 20);
//   view.showConversation(hostile);
//   EXPECT_LT(ceiling.growth(), 64u << 20);
//
//   testing::MemoryCeiling programCeiling(512 << 20, tessra.pid());
//   ... the program streams an endless answer ...
//   EXPECT_FALSE(programCeiling.crossed());
//
// The test's own ceiling counts this process's resident memory (its live heap under the address
// sanitizer) and stops the process when it is crossed, from the watching thread, since the thread
// that crossed the bound may never come back.
// A program's ceiling counts the proportional memory of the program and every process below it
// (the embedded browser's) and kills the program when it is crossed; the test goes on and fails.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>

namespace tessra::testing {

class MemoryCeiling {
 public:
  // This process may add `bytes`.
  explicit MemoryCeiling(std::size_t bytes);
  // The program `root` with its child processes may add `bytes`.
  MemoryCeiling(std::size_t bytes, pid_t root);
  ~MemoryCeiling();
  MemoryCeiling(const MemoryCeiling&) = delete;
  MemoryCeiling& operator=(const MemoryCeiling&) = delete;

  // How much the memory grew since the ceiling was made (0 when it shrank).
  std::size_t growth() const;
  // The most it grew at any of the watch's looks so far.
  std::size_t peakGrowth() const;
  // True once a program's ceiling was crossed and the program killed.
  bool crossed() const;

  // The resident memory of this process (VmRSS of /proc/self/status).
  static std::size_t residentBytes();

 private:
  std::size_t measure() const;
  void watch();

  const std::optional<pid_t> m_root;
  const std::size_t m_baseline;
  const std::size_t m_bytes;
  mutable std::mutex m_mutex;  // guards m_stopping, m_peak and m_crossed
  std::condition_variable m_wake;
  bool m_stopping = false;
  std::size_t m_peak = 0;
  bool m_crossed = false;
  std::thread m_watcher;
};

}  // namespace tessra::testing
