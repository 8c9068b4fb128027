// The interface through which the telemetry manager hands accepted signals on.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tessra::telemetry {

class UsageTelemetryConfiguration;

class SignalManageable {
 public:
  virtual ~SignalManageable() = default;
  // Returns at once; the signal's record is built and queued on a worker thread.
  virtual void processSignal(const std::string& signalType,
                             const std::optional<std::string>& clientUser,
                             std::optional<double> floatValue,
                             const std::map<std::string, std::string>& payload,
                             const std::shared_ptr<UsageTelemetryConfiguration>& configuration) = 0;
};

}  // namespace tessra::telemetry
