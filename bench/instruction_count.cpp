#include "bench/instruction_count.h"

#include <linux/perf_event.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fmt/format.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "testing/process_tree.h"

namespace tessra::bench {
namespace {

// A counter of the user-space instructions of one thread and of what it starts later; -1 and
// errno when the kernel refuses.
int openCounter(pid_t thread) {
  perf_event_attr attributes{};
  attributes.size = sizeof attributes;
  attributes.type = PERF_TYPE_HARDWARE;
  attributes.config = PERF_COUNT_HW_INSTRUCTIONS;
  attributes.exclude_kernel = 1;
  attributes.exclude_hv = 1;
  attributes.inherit = 1;
  return static_cast<int>(
      ::syscall(SYS_perf_event_open, &attributes, thread, -1, -1, PERF_FLAG_FD_CLOEXEC));
}

std::vector<pid_t> threadsOf(pid_t process) {
  std::vector<pid_t> threads;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(fmt::format("/proc/{}/task", process), error)) {
    const std::string name = entry.path().filename().string();
    pid_t thread = 0;
    if (std::from_chars(name.data(), name.data() + name.size(), thread).ec == std::errc())
      threads.push_back(thread);
  }
  return threads;
}

}  // namespace

InstructionCount::InstructionCount(pid_t root) {
  for (const pid_t process : testing::ProcessTree(root).processes()) {
    for (const pid_t thread : threadsOf(process)) {
      platform::UniqueFd counter(openCounter(thread));
      if (counter) {
        m_counters.push_back(std::move(counter));
        continue;
      }
      // A thread that ended on the way has nothing left to count.
      if (errno == ESRCH) continue;
      // A count that misses threads would be a smaller number, not a true one.
      m_whyUnavailable =
          errno == ENOENT || errno == EOPNOTSUPP
              ? fmt::format("the kernel has no instruction counter here ({})", std::strerror(errno))
              : fmt::format("the kernel refused an instruction counter ({})", std::strerror(errno));
      m_counters.clear();
      return;
    }
  }
}

std::uint64_t InstructionCount::read() const {
  std::uint64_t total = 0;
  for (const platform::UniqueFd& counter : m_counters) {
    std::uint64_t value = 0;
    if (::read(counter.get(), &value, sizeof value) == sizeof value) total += value;
  }
  return total;
}

}  // namespace tessra::bench
