// Collects the log lines (debug lines included) written while it lives, so a test can check what
// the program told its log. Lines may arrive from any thread.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/logger.h"

namespace tessra::testing {

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const;
  std::vector<std::string> linesStartingWith(const std::string& prefix) const;
  bool contains(const std::string& text) const;
  // The lines of the logger with this subsystem and category.
  std::vector<std::string> linesOf(std::string_view subsystem, std::string_view category) const;
  // The lines written at `level` or above (error: errors and faults).
  std::vector<std::string> linesAtLeast(platform::LogLevel level) const;
  // Every line, each ended by a line break.
  std::string all() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
  std::vector<platform::LogLevel> m_levels;  // one per line
  std::vector<std::string> m_origins;        // one per line: "subsystem:category"
};

}  // namespace tessra::testing
