// A point in time as the stored records keep it: seconds since 2001-01-01 00:00:00 UTC.
#pragma once

#include <chrono>
#include <compare>
#include <string>

namespace tessra::platform {

class Date {
 public:
  // Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC.
  static constexpr double kReferenceDateUnixTime = 978307200.0;

  constexpr Date() = default;
  static constexpr Date fromReferenceDate(double seconds) { return Date(seconds); }
  static constexpr Date fromUnixTime(double seconds) {
    return Date(seconds - kReferenceDateUnixTime);
  }
  static Date fromSystemClock(std::chrono::system_clock::time_point time);
  static Date now();

  constexpr double timeIntervalSinceReferenceDate() const { return m_seconds; }
  constexpr double timeIntervalSince1970() const { return m_seconds + kReferenceDateUnixTime; }
  constexpr double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }
  constexpr Date addingTimeInterval(double seconds) const { return Date(m_seconds + seconds); }
  std::chrono::system_clock::time_point systemClockTime() const;

  // ISO 8601 in UTC with milliseconds, e.g. "2024-03-01T12:00:00.250Z", for logs and wire formats
  // that want text.
  std::string iso8601() const;

  constexpr auto operator<=>(const Date&) const = default;

 private:
  constexpr explicit Date(double seconds) : m_seconds(seconds) {}
  double m_seconds = 0;
};

}  // namespace tessra::platform
