// Shared by the storage tests: each test process works in a data and configuration home of its
// own (set before anything computes the storage folder), and captures the log lines.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "testing/log_capture.h"

namespace tessra::storage_test {

// The process's temporary home, with XDG_DATA_HOME and XDG_CONFIG_HOME inside it.
const std::filesystem::path& processHome();

using LogCapture = testing::LogCapture;

// The whole content of a file, "" when it cannot be read.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

// Polls `condition`, running `pump` between polls, until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition, const std::function<void()>& pump,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace tessra::storage_test
