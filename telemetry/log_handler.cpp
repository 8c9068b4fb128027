#include "telemetry/log_handler.h"

#include <cstdio>
#include <utility>

namespace tessra::telemetry {

namespace {

constexpr std::string_view kClientTag = "TessraTelemetry";

}  // namespace

LogHandler::LogHandler(LogLevel logLevel, Handler handler)
    : logLevel(logLevel), handler(std::move(handler)) {}

LogHandler LogHandler::standardOutput(LogLevel logLevel) {
  return LogHandler(logLevel, [](LogLevel level, const std::string& message) {
    std::string line = "[";
    line += kClientTag;
    line += ": ";
    line += description(level);
    line += "] ";
    line += message;
    line += '\n';
    // One write per line, so lines from several threads never interleave.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
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
