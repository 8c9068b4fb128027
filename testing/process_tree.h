// What a whole program costs: a process with every process below it (the embedded browser's
// zygote, renderers and GPU process), read from /proc.
//
//   const testing::ProcessTree tree(program.processId());
//   const double before = tree.cpuSeconds();
//   ... let it work ...
//   const double used = tree.cpuSeconds() - before;
//   const auto idle = tree.cpuUntilIdle();  // CPU-seconds until it rests, or nothing on timeout
//   const testing::TreeMemory memory = tree.memory();
//
//   const double resting = tree.cpuShare(2s);       // before the work: the tree at rest
//   ... start the work ...
//   const double work = tree.cpuOverWindow(5s, resting);
//
// A fixed window less the resting rate counts work that pauses and resumes, which a watch for
// the first quiet stretch cuts short; the window must outlast the work.
// CPU time counts user and system time of every live process of the tree and of the children
// they have reaped, so a renderer that ended half way still counts. Memory sums the proportional
// set (PSS, shared pages split among their users) and the anonymous pages of every process.
// Linux only; a process that ends while it is read is left out.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessra::testing {

struct TreeMemory {
  std::uint64_t pssBytes = 0;
  std::uint64_t anonymousBytes = 0;
  int processes = 0;
};

class ProcessTree {
 public:
  explicit ProcessTree(pid_t root) : m_root(root) {}

  pid_t root() const { return m_root; }
  // The root and its descendants alive now, the root first.
  std::vector<pid_t> processes() const;
  // Seconds of CPU the tree has used since each process began.
  double cpuSeconds() const;
  // The same by the role of each process: "main" for the root, the browser's own process type
  // for its processes ("zygote", "renderer", "gpu-process", "utility"), else the command name.
  std::map<std::string, double> cpuSecondsByRole() const;
  TreeMemory memory() const;

  // Watches the tree until its use stays below `busyShare` of one core for `quiet`: the CPU
  // seconds used from the call until that quiet stretch ended, the stretch included (work may
  // trickle on in it), or nothing after `timeout`.
  std::optional<double> cpuUntilIdle(
      std::chrono::milliseconds timeout = std::chrono::seconds(120),
      std::chrono::milliseconds quiet = std::chrono::milliseconds(1500),
      double busyShare = 0.03) const;

  // The share of one core the tree uses over the next `span`: its resting rate, read while it
  // rests.
  double cpuShare(std::chrono::milliseconds span) const;

  // The CPU-seconds the tree uses over the next `window`, less `restingShare` of one core over the
  // same time; never below zero.
  double cpuOverWindow(std::chrono::milliseconds window, double restingShare) const;

 private:
  pid_t m_root;
};

}  // namespace tessra::testing
