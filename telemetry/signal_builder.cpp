#include "telemetry/signal_builder.h"

#include <mutex>

#include "platform/foundation/date.h"
#include "platform/foundation/sha256.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/uuid.h"
#include "telemetry/default_signal_payload.h"

namespace tessra::telemetry {

namespace {

using Level = LogHandler::LogLevel;

// The enrichers' entries merged in list order. An enricher that throws adds nothing.
std::map<std::string, std::string> enricherEntries(
    const std::string& signalType, const std::optional<std::string>& clientUser,
    std::optional<double> floatValue, const UsageTelemetryConfiguration& configuration) {
  std::map<std::string, std::string> merged;
  for (const auto& enricher : configuration.metadataEnrichers()) {
    if (!enricher) continue;
    try {
      for (auto& [key, value] : enricher->enrich(signalType, clientUser, floatValue))
        merged.insert_or_assign(key, std::move(value));
    } catch (const std::exception& e) {
      configuration.log(Level::error, std::string("A signal enricher failed: ") + e.what());
    }
  }
  return merged;
}

}  // namespace

std::string defaultsSuiteName(const std::string& telemetryAppID) {
  const auto hash = platform::sha256Hex(telemetryAppID);
  return std::string(kDefaultsSuitePrefix) + hash.substr(hash.size() - 12);
}

std::vector<std::string> payloadList(const std::map<std::string, std::string>& payload) {
  std::vector<std::string> entries;
  entries.reserve(payload.size());
  for (const auto& [key, value] : payload) {
    std::string entry = key;
    for (char& c : entry)
      if (c == ':') c = '_';
    entry += ':';
    entry += value;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string defaultUserIdentifier(const UsageTelemetryConfiguration& configuration) {
  if (auto user = configuration.defaultUser()) return *user;
  // Records are built on several workers at once; without this, the first signals of an
  // installation could each make and keep an identifier of their own, and all but the last would
  // hash a user that never appears again.
  static std::mutex lookupMutex;
  std::lock_guard lock(lookupMutex);
  const auto defaults =
      platform::UserDefaults::suite(defaultsSuiteName(configuration.telemetryAppID()));
  if (defaults) {
    if (auto stored = defaults->string(kDefaultUserIdentifierKey)) return *stored;
  }
  auto identifier = platform::makeUuidString();
  if (!defaults) return identifier;
  if (const auto stored = defaults->set(kDefaultUserIdentifierKey, identifier); !stored)
    configuration.log(Level::error,
                      "The anonymous user could not be kept: " + describe(stored.error()));
  return identifier;
}

std::optional<SignalPostBody> makeSignalPostBody(
    const std::string& signalType, const std::optional<std::string>& clientUser,
    std::optional<double> floatValue, const std::map<std::string, std::string>& additionalPayload,
    const UsageTelemetryConfiguration& configuration) {
  const auto appID = platform::canonicalUuidString(configuration.telemetryAppID());
  if (!appID) {
    configuration.log(Level::error,
                      "The application identifier \"" + configuration.telemetryAppID() +
                          "\" is not a UUID; the signal \"" + signalType + "\" is dropped");
    return std::nullopt;
  }

  auto payload = DefaultSignalPayload::current(configuration).asDictionary();
  for (auto& [key, value] : enricherEntries(signalType, clientUser, floatValue, configuration))
    payload.insert_or_assign(key, std::move(value));
  for (const auto& [key, value] : additionalPayload) payload.insert_or_assign(key, value);

  const auto user = clientUser ? *clientUser : defaultUserIdentifier(configuration);
  return SignalPostBody{
      .receivedAt = platform::Date::now(),
      .appID = *appID,
      .clientUser = platform::sha256Hex(user + configuration.salt()),
      .sessionID = configuration.sessionID(),
      .type = signalType,
      .floatValue = floatValue,
      .payload = payloadList(payload),
      .isTestMode = configuration.testMode() ? "true" : "false",
  };
}

}  // namespace tessra::telemetry
