// Turning one accepted signal into its record: the merged payload, the anonymous user and the
// session, as the signal manager does for every signal on its worker thread.
//
// The payload merges three sources, each replacing the values of the one before for equal keys:
// the default payload, then the configuration's enrichers in their order, then the caller's own
// entries.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/configuration.h"
#include "telemetry/signal_post_body.h"

namespace tessra::telemetry {

// The defaults suite that keeps the anonymous user is named by this prefix and the last 12
// characters of the hashed application identifier.
inline constexpr std::string_view kDefaultsSuitePrefix = "org.tessra.telemetry.";
inline constexpr std::string_view kDefaultUserIdentifierKey = "defaultUserIdentifier";

std::string defaultsSuiteName(const std::string& telemetryAppID);

// One "key:value" entry per map entry, each ":" of a key written as "_" (values stay as they
// are).
std::vector<std::string> payloadList(const std::map<std::string, std::string>& payload);

// The configuration's default user, else the identifier kept in the defaults suite, else a new
// random one that is kept there for every later signal and run.
std::string defaultUserIdentifier(const UsageTelemetryConfiguration& configuration);

// The record of one signal, received now. Nothing, with a log line, when the configuration's
// application identifier is not a UUID text.
std::optional<SignalPostBody> makeSignalPostBody(
    const std::string& signalType, const std::optional<std::string>& clientUser,
    std::optional<double> floatValue, const std::map<std::string, std::string>& additionalPayload,
    const UsageTelemetryConfiguration& configuration);

}  // namespace tessra::telemetry
