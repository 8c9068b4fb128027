#include "testing/memory_ceiling.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/foundation/logger.h"
#include "testing/process_tree.h"

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's runtime defines it; its header is not installed with the compiler.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tessra::testing {

namespace {

// A runaway read adds about a gigabyte a second: looking often keeps the overshoot small. A
// process tree costs a walk through /proc, so it is looked at less often.
constexpr std::chrono::milliseconds kOwnInterval{5};
constexpr std::chrono::milliseconds kTreeInterval{25};

// What this process holds. Under the address sanitizer the resident memory also holds the freed
// blocks it keeps back to catch late uses (up to 256 MB) and their shadow, so a bounded read would
// seem to grow with every block it frees: the live heap is what the code holds there.
std::size_t ownBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return MemoryCeiling::residentBytes();
#endif
}

}  // namespace

MemoryCeiling::MemoryCeiling(std::size_t bytes)
    : m_baseline(ownBytes()), m_bytes(bytes), m_watcher([this] { watch(); }) {}

MemoryCeiling::MemoryCeiling(std::size_t bytes, pid_t root)
    : m_root(root),
      m_baseline(ProcessTree(root).memory().pssBytes),
      m_bytes(bytes),
      m_watcher([this] { watch(); }) {}

MemoryCeiling::~MemoryCeiling() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_watcher.join();
}

std::size_t MemoryCeiling::measure() const {
  return m_root ? ProcessTree(*m_root).memory().pssBytes : ownBytes();
}

std::size_t MemoryCeiling::growth() const {
  const std::size_t now = measure();
  return now > m_baseline ? now - m_baseline : 0;
}

std::size_t MemoryCeiling::peakGrowth() const {
  std::lock_guard lock(m_mutex);
  return m_peak;
}

bool MemoryCeiling::crossed() const {
  std::lock_guard lock(m_mutex);
  return m_crossed;
}

std::size_t MemoryCeiling::residentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

void MemoryCeiling::watch() {
  const auto interval = m_root ? kTreeInterval : kOwnInterval;
  std::unique_lock lock(m_mutex);
  while (!m_wake.wait_for(lock, interval, [this] { return m_stopping; })) {
    lock.unlock();
    const std::size_t grown = growth();
    lock.lock();
    m_peak = std::max(m_peak, grown);
    if (grown <= m_bytes || m_crossed) continue;
    if (!m_root) {
      platform::logFault("The test's resident memory grew by {} MB, over its ceiling of {} MB",
                         grown >> 20, m_bytes >> 20);
      std::abort();
    }
    platform::logError(
        "The program's memory grew by {} MB, over its ceiling of {} MB: it is killed", grown >> 20,
        m_bytes >> 20);
    m_crossed = true;
    ::kill(*m_root, SIGKILL);
  }
}

}  // namespace tessra::testing
