#include "telemetry/log_handler.h"

#include <fmt/format.h>

#include <utility>

#include "platform/foundation/logger.h"

namespace tessra::telemetry {

namespace {

constexpr std::string_view kClientTag = "TessraTelemetry";

}  // namespace

LogHandler::LogHandler(LogLevel logLevel, Handler handler)
    : logLevel(logLevel), handler(std::move(handler)) {}

LogHandler LogHandler::programLog(LogLevel logLevel) {
  return LogHandler(logLevel, [](LogLevel level, const std::string& message) {
    const platform::LogLevel programLevel = level == LogLevel::debug  ? platform::LogLevel::debug
                                            : level == LogLevel::info ? platform::LogLevel::info
                                                                      : platform::LogLevel::error;
    platform::Logger::shared().log(
        programLevel, fmt::format("[{}: {}] {}", kClientTag, description(level), message));
  });
}

void LogHandler::log(LogLevel level, const std::string& message) const {
  if (static_cast<int>(level) < static_cast<int>(logLevel) || !handler) return;
  handler(level, message);
}

std::string_view description(LogHandler::LogLevel level) {
  switch (level) {
    case LogHandler::LogLevel::debug:
      return "DEBUG";
    case LogHandler::LogLevel::info:
      return "INFO";
    case LogHandler::LogLevel::error:
      return "ERROR";
  }
  return "INFO";
}

std::optional<LogHandler::LogLevel> logLevelFromRawValue(int rawValue) {
  switch (rawValue) {
    case 0:
      return LogHandler::LogLevel::debug;
    case 1:
      return LogHandler::LogLevel::info;
    case 2:
      return LogHandler::LogLevel::error;
    default:
      return std::nullopt;
  }
}

}  // namespace tessra::telemetry
