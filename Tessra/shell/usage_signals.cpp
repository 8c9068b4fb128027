#include "Tessra/shell/usage_signals.h"

#include "Tessra/shell/app_version.h"
#include "platform/foundation/notification_center.h"
#include "telemetry/signal_manager.h"
#include "telemetry/usage_telemetry.h"

namespace tessra::usage_signals {

void initialize(const std::string& appID) {
  auto configuration = std::make_shared<telemetry::UsageTelemetryConfiguration>(appID);
  configuration->setAppVersion(app_version::kVersion);
  configuration->setBuildNumber(app_version::kBuild);
  telemetry::UsageTelemetry::initialize(configuration);
}

void send(const std::string& signalType) { telemetry::UsageTelemetry::send(signalType); }

void applicationWillTerminate() {
  platform::NotificationCenter::defaultCenter().post(
      telemetry::kApplicationWillTerminateNotification);
}

}  // namespace tessra::usage_signals
