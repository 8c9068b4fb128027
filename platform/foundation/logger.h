// The program's one logger: subsystem "org.tessra.Tessra", category "default".
//
// Lines go to standard error as "<level> [subsystem:category] text". The application routes Qt's
// own messages through the same category, so one filter shows everything. Secrets are never
// passed here.
#pragma once

#include <fmt/format.h>

#include <functional>
#include <string>
#include <string_view>

namespace tessra::platform {

enum class LogLevel { debug, info, notice, error, fault };

class Logger {
 public:
  static constexpr std::string_view kSubsystem = "org.tessra.Tessra";
  static constexpr std::string_view kCategory = "default";

  static Logger& shared();

  void log(LogLevel level, std::string_view text);

  // Where lines go instead of standard error (tests capture them); an empty sink restores
  // standard error. Guarded by the logger's mutex.
  using Sink = std::function<void(LogLevel, std::string_view)>;
  void setSink(Sink sink);

  // Debug lines are written only when TESSRA_DEBUG is set or a sink is installed.
  bool debugEnabled() const;

 private:
  Logger() = default;
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
