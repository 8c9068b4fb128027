// The program's side of usage telemetry: configured once with the program's identifier, version
// and build, then signals by name.
//
// The telemetry library names a parameter `signals`, which Qt's keywords would rewrite; this
// file pair keeps it away from every Qt header.
#pragma once

#include <string>

namespace tessra::usage_signals {

// Configures telemetry with `appID`, the program's version and build number (from the build),
// no salt and the collector of TESSRA_TELEMETRY_URL, and starts it.
void initialize(const std::string& appID);
// Queues a signal without user, value or payload; returns at once.
void send(const std::string& signalType);
// Tells telemetry that the program is about to quit, so it keeps what it has not sent.
void applicationWillTerminate();

}  // namespace tessra::usage_signals
