#include "testing/log_capture.h"

#include <string_view>

#include "platform/foundation/logger.h"

namespace tessra::testing {

LogCapture::LogCapture() {
  platform::Logger::shared().setSink([this](platform::LogLevel, std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(text);
  });
}

LogCapture::~LogCapture() { platform::Logger::shared().setSink({}); }

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

std::vector<std::string> LogCapture::linesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : lines())
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  return found;
}

bool LogCapture::contains(const std::string& text) const {
  std::lock_guard lock(m_mutex);
  for (const auto& line : m_lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}

std::string LogCapture::all() const {
  std::lock_guard lock(m_mutex);
  std::string text;
  for (const auto& line : m_lines) text += line + "\n";
  return text;
}

}  // namespace tessra::testing
