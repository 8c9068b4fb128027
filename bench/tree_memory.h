// The memory of a process and every process below it (the embedded browser's zygote, renderers and
// GPU process), read from /proc: the proportional set (PSS, each shared page split among the
// processes that map it) and the anonymous pages, summed over the tree.
//
//   const bench::MemoryUse use = bench::memoryOfProcessTree(::getpid());
//
// Linux only; a process that ends while it is read is left out.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace tessra::bench {

struct MemoryUse {
  std::uint64_t pssBytes = 0;
  std::uint64_t anonymousBytes = 0;
  int processes = 0;
};

MemoryUse memoryOfProcessTree(pid_t root);

constexpr double mebibytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

}  // namespace tessra::bench
