// The memory of a process and every process below it (the embedded browser's zygote, renderers and
// GPU process), read from /proc: the proportional set (PSS, each shared page split among the
// processes that map it) and the anonymous pages, summed over the tree.
//
// A benchmark measures each program in a process of its own: it runs itself again with an
// argument that picks the program, which prints one line per stage it reaches
// (`printTreeMemory`), and reads the lines back (`memoryOfChildRun`).
//
//   // in the child
//   bench::printTreeMemory("start");
//   // in the benchmark
//   const auto stages = bench::memoryOfChildRun(self, {"--memory-child=program"});
//   stages->at("start").pssBytes
//
// Linux only; a process that ends while it is read is left out.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tessra::bench {

struct MemoryUse {
  std::uint64_t pssBytes = 0;
  std::uint64_t anonymousBytes = 0;
  int processes = 0;
};

MemoryUse memoryOfProcessTree(pid_t root);

constexpr double mebibytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

// Lets the browser's processes finish their work and the program settle, then prints the memory
// of this process's tree as the stage's line.
void printTreeMemory(const char* stage);

// Shows one window with a short page in a bare web view, the least a window with the browser
// costs, and prints its memory as the stage "bare"; 1 when the page did not load.
int printBareWebViewMemory();

// Runs `program` with `arguments` and reads the stages it printed; nothing when it failed.
std::optional<std::map<std::string, MemoryUse>> memoryOfChildRun(const QString& program,
                                                                 const QStringList& arguments);

}  // namespace tessra::bench
