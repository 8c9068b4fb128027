// Where the telemetry client reports what it does: a level and a receiving operation.
//
// The client never reports to its host through errors; every message goes through the log
// handler of its configuration. A message passes when its level is at least the handler's:
// a debug message reaches only a debug handler, an error message always passes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessra::telemetry {

class LogHandler {
 public:
  enum class LogLevel { debug = 0, info = 1, error = 2 };

  using Handler = std::function<void(LogLevel, const std::string&)>;

  LogHandler(LogLevel logLevel, Handler handler);

  // A handler of the given level that writes "[TessraTelemetry: INFO] message" lines to the
  // program's log, at the log's level of the same name.
  static LogHandler programLog(LogLevel logLevel);

  // Hands the message on when its level is at least `logLevel`.
  void log(LogLevel level, const std::string& message) const;

  LogLevel logLevel;
  Handler handler;
};

// "DEBUG", "INFO" or "ERROR".
std::string_view description(LogHandler::LogLevel level);

// The level stored as `rawValue`, or nothing for any integer that is not a level.
std::optional<LogHandler::LogLevel> logLevelFromRawValue(int rawValue);

}  // namespace tessra::telemetry
