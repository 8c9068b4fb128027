// What the fuzz targets share: the input as text, a quiet logger, a scratch folder, and the stop
// that reports a broken rule.
//
// A target's `LLVMFuzzerTestOneInput` reads one input the way the program reads that data from
// outside and checks the rules the reader promises (a round trip that gives back what was read,
// a path that stays inside its folder). A broken rule stops the run like a crash, so libFuzzer
// keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace tessra::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Drops the program's log lines: a reader logs what it refuses, and millions of lines would
// slow the run down to the speed of the terminal.
void quietLogs();

// A folder of its own for this run, removed at exit.
const std::filesystem::path& scratchFolder();

// Reports the broken rule and stops the run.
[[noreturn]] void fail(std::string_view rule);

}  // namespace tessra::fuzz

// Checks a rule the reader promises.
#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::tessra::fuzz::fail(#condition))
