#include "platform/foundation/date.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace tessra::platform {

Date Date::fromSystemClock(std::chrono::system_clock::time_point time) {
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  return fromUnixTime(static_cast<double>(micros) / 1e6);
}

Date Date::now() { return fromSystemClock(std::chrono::system_clock::now()); }

std::chrono::system_clock::time_point Date::systemClockTime() const {
  const auto micros = std::llround(timeIntervalSince1970() * 1e6);
  return std::chrono::system_clock::time_point(std::chrono::microseconds(micros));
}

std::string Date::iso8601() const {
  const double unix = timeIntervalSince1970();
  const double wholeSeconds = std::floor(unix);
  auto millis = std::lround((unix - wholeSeconds) * 1000.0);
  auto seconds = static_cast<std::time_t>(wholeSeconds);
  if (millis == 1000) {
    millis = 0;
    ++seconds;
  }
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);
  return text;
}

}  // namespace tessra::platform
