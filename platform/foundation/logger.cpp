#include "platform/foundation/logger.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tessra::platform {

namespace {

std::mutex& loggerMutex() {
  static std::mutex mutex;
  return mutex;
}

Logger::Sink& sink() {  // guarded by loggerMutex()
  static Logger::Sink current;
  return current;
}

const char* levelName(LogLevel level) {
  switch (level) {
    case LogLevel::debug:
      return "debug";
    case LogLevel::info:
      return "info";
    case LogLevel::notice:
      return "notice";
    case LogLevel::error:
      return "error";
    case LogLevel::fault:
      return "fault";
  }
  return "log";
}

}  // namespace

Logger& Logger::shared() {
  static Logger logger{std::string(kSubsystem), std::string(kCategory)};
  return logger;
}

Logger::Logger(std::string subsystem, std::string category)
    : m_subsystem(std::move(subsystem)), m_category(std::move(category)) {}

void Logger::log(LogLevel level, std::string_view text) const {
  Sink current;
  {
    std::lock_guard lock(loggerMutex());
    current = sink();
  }
  // The sink is called without the lock so that it may log or block without deadlocking.
  if (current) {
    current({level, m_subsystem, m_category, text});
    return;
  }
  const std::string line =
      fmt::format("{} [{}:{}] {}\n", levelName(level), m_subsystem, m_category, text);
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void Logger::setSink(Sink newSink) {
  std::lock_guard lock(loggerMutex());
  sink() = std::move(newSink);
}

bool Logger::debugEnabled() const {
  static const bool fromEnvironment = std::getenv("TESSRA_DEBUG") != nullptr;
  if (fromEnvironment) return true;
  std::lock_guard lock(loggerMutex());
  return static_cast<bool>(sink());
}

}  // namespace tessra::platform
