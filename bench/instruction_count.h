// The instructions a process and every process below it retire, from the processor's own counter
// (perf_event_open), for a figure beside a time that the machine's load cannot move.
//
//   bench::InstructionCount count(::getpid());
//   if (!count.available()) report(count.whyUnavailable());
//   const auto before = count.read();
//   ... the work ...
//   const double work = static_cast<double>(count.read() - before);
//
// The counters follow every thread alive when the count is made and every thread or process these
// start later; user space only, which is all the kernel lets a user count. Many kernels in
// containers and virtual machines give no hardware counter at all: the count is then unavailable.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/unique_fd.h"

namespace tessra::bench {

class InstructionCount {
 public:
  explicit InstructionCount(pid_t root);

  bool available() const { return !m_counters.empty(); }
  // Why the kernel gave no counter, when it did not.
  const std::string& whyUnavailable() const { return m_whyUnavailable; }
  // Instructions retired since the count was made; 0 when unavailable.
  std::uint64_t read() const;

 private:
  std::vector<platform::UniqueFd> m_counters;
  std::string m_whyUnavailable;
};

}  // namespace tessra::bench
