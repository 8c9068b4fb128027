// The memory of a program with its browser processes at the stages of a run, each program in a
// process of its own (testing/process_tree.h reads the tree).
//
// A benchmark measures each program in a process of its own: it runs itself again with an
// argument that picks the program, which prints one line per stage it reaches
// (`printTreeMemory`), and reads the lines back (`memoryOfChildRun`).
//
//   // in the child
//   bench::printTreeMemory("start");
//   // in the benchmark
//   const auto stages = bench::memoryOfChildRun(self, {"--memory-child=program"});
//   stages->at("start").anonymousBytes
//
// A child that measures a page has its script engine collect its garbage first
// (`exposeGarbageCollection` before the application, `collectGarbage` before each stage): what the
// page keeps, not what it has yet to free when the engine next gets round to it.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "testing/process_tree.h"

class QWebEngineView;

namespace tessra::bench {

constexpr double mebibytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

// Lets the pages of this process collect their script garbage on demand; before the application
// is made.
void exposeGarbageCollection();

// Has `view`'s page collect all its script garbage; false when it could not.
bool collectGarbage(QWebEngineView& view);

// Lets the browser's processes finish their work and the program settle, then prints the memory
// of this process's tree as the stage's line.
void printTreeMemory(const char* stage);

// Shows one window with a short page in a bare web view, the least a window with the browser
// costs, and prints its memory as the stage "bare"; 1 when the page did not load.
int printBareWebViewMemory();

// Runs `program` with `arguments` and reads the stages it printed; nothing when it failed.
std::optional<std::map<std::string, testing::TreeMemory>> memoryOfChildRun(
    const QString& program, const QStringList& arguments);

}  // namespace tessra::bench
