// The program's logger: subsystem "org.tessra.Tessra", category "default". A part of the program
// whose lines a reader should be able to pick out keeps a logger of its own, under its own
// subsystem and category:
//
//   static const Logger logger("org.tessra.Tessra.LoginLaunch", "main");
//   logger.log(LogLevel::error, "...");
//
// Lines go to standard error as "<level> [subsystem:category] text". The application routes Qt's
// own messages through the shared logger, so one filter shows everything. Secrets are never
// passed here.
#pragma once

#include <fmt/format.h>

#include <functional>
#include <string>
#include <string_view>

namespace tessra::platform {

enum class LogLevel { debug, info, notice, error, fault };

// One line as a sink receives it; the views are valid during the call only.
struct LogLine {
  LogLevel level;
  std::string_view subsystem;
  std::string_view category;
  std::string_view text;
};

class Logger {
 public:
  static constexpr std::string_view kSubsystem = "org.tessra.Tessra";
  static constexpr std::string_view kCategory = "default";

  static Logger& shared();

  Logger(std::string subsystem, std::string category);

  const std::string& subsystem() const { return m_subsystem; }
  const std::string& category() const { return m_category; }

  void log(LogLevel level, std::string_view text) const;

  // Where the lines of every logger go instead of standard error (tests capture them); an empty
  // sink restores standard error. Guarded by the loggers' mutex.
  using Sink = std::function<void(const LogLine&)>;
  static void setSink(Sink sink);

  // Debug lines are written only when TESSRA_DEBUG is set or a sink is installed.
  bool debugEnabled() const;

 private:
  std::string m_subsystem;
  std::string m_category;
};

template <class... Args>
void logDebug(fmt::format_string<Args...> format, Args&&... args) {
  if (!Logger::shared().debugEnabled()) return;
  Logger::shared().log(LogLevel::debug, fmt::format(format, std::forward<Args>(args)...));
}
template <class... Args>
void logInfo(fmt::format_string<Args...> format, Args&&... args) {
  Logger::shared().log(LogLevel::info, fmt::format(format, std::forward<Args>(args)...));
}
template <class... Args>
void logError(fmt::format_string<Args...> format, Args&&... args) {
  Logger::shared().log(LogLevel::error, fmt::format(format, std::forward<Args>(args)...));
}
template <class... Args>
void logFault(fmt::format_string<Args...> format, Args&&... args) {
  Logger::shared().log(LogLevel::fault, fmt::format(format, std::forward<Args>(args)...));
}

}  // namespace tessra::platform
