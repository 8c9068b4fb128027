#include "testing/memory_ceiling.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/foundation/logger.h"

namespace tessra::testing {

MemoryCeiling::MemoryCeiling(std::size_t bytes)
    : m_baseline(residentBytes()), m_bytes(bytes), m_watcher([this] { watch(); }) {}

MemoryCeiling::~MemoryCeiling() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_watcher.join();
}

std::size_t MemoryCeiling::growth() const {
  const std::size_t now = residentBytes();
  return now > m_baseline ? now - m_baseline : 0;
}

std::size_t MemoryCeiling::residentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

void MemoryCeiling::watch() {
  std::unique_lock lock(m_mutex);
  // A runaway read adds about a gigabyte a second: every few milliseconds keeps the overshoot
  // small.
  while (!m_wake.wait_for(lock, std::chrono::milliseconds(5), [this] { return m_stopping; })) {
    const std::size_t grown = growth();
    if (grown <= m_bytes) continue;
    platform::logFault("The test's resident memory grew by {} MB, over its ceiling of {} MB",
                       grown >> 20, m_bytes >> 20);
    std::abort();
  }
}

}  // namespace tessra::testing
