#include "testing/log_capture.h"

#include <string_view>

namespace tessra::testing {

LogCapture::LogCapture() {
  platform::Logger::shared().setSink([this](const platform::LogLine& line) {
    std::lock_guard lock(m_mutex);
    m_lines.emplace_back(line.text);
    m_levels.push_back(line.level);
    m_origins.push_back(std::string(line.subsystem) + ':' + std::string(line.category));
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

std::vector<std::string> LogCapture::linesOf(std::string_view subsystem,
                                             std::string_view category) const {
  const std::string origin = std::string(subsystem) + ':' + std::string(category);
  std::lock_guard lock(m_mutex);
  std::vector<std::string> found;
  for (std::size_t i = 0; i < m_lines.size(); ++i)
    if (m_origins[i] == origin) found.push_back(m_lines[i]);
  return found;
}

std::vector<std::string> LogCapture::linesAtLeast(platform::LogLevel level) const {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> found;
  for (std::size_t i = 0; i < m_lines.size(); ++i)
    if (m_levels[i] >= level) found.push_back(m_lines[i]);
  return found;
}

std::string LogCapture::all() const {
  std::lock_guard lock(m_mutex);
  std::string text;
  for (const auto& line : m_lines) text += line + "\n";
  return text;
}

}  // namespace tessra::testing
