#include "telemetry/configuration.h"

#include <cstdlib>
#include <utility>

#include "platform/foundation/error.h"
#include "platform/foundation/uuid.h"
#include "telemetry/usage_telemetry.h"

namespace tessra::telemetry {

namespace {

std::optional<std::string> collectorFromEnvironment() {
  const char* value = std::getenv(UsageTelemetryConfiguration::kCollectorUrlVariable);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::string canonicalSession(const std::string& text) {
  auto canonical = platform::canonicalUuidString(text);
  if (!canonical) throw TextError("The session identifier \"" + text + "\" is not a UUID");
  return *canonical;
}

}  // namespace

UsageTelemetryConfiguration::UsageTelemetryConfiguration(std::string appID,
                                                         std::optional<std::string> salt,
                                                         std::optional<std::string> baseURL)
    : m_telemetryAppID(std::move(appID)),
      m_apiBaseURL(baseURL ? std::move(baseURL) : collectorFromEnvironment()),
      m_salt(salt.value_or("")),
      m_sessionID(platform::makeUuidString()),
      m_logHandler(LogHandler::programLog(LogHandler::LogLevel::info)) {}

std::optional<std::string> UsageTelemetryConfiguration::defaultUser() const {
  std::lock_guard lock(m_mutex);
  return m_defaultUser;
}

void UsageTelemetryConfiguration::setDefaultUser(std::optional<std::string> user) {
  std::lock_guard lock(m_mutex);
  m_defaultUser = std::move(user);
}

bool UsageTelemetryConfiguration::sendNewSessionBeganSignal() const {
  std::lock_guard lock(m_mutex);
  return m_sendNewSessionBeganSignal;
}

void UsageTelemetryConfiguration::setSendNewSessionBeganSignal(bool value) {
  std::lock_guard lock(m_mutex);
  m_sendNewSessionBeganSignal = value;
}

std::string UsageTelemetryConfiguration::sessionID() const {
  std::lock_guard lock(m_mutex);
  return m_sessionID;
}

void UsageTelemetryConfiguration::setSessionID(const std::string& sessionID) {
  storeSessionIDSilently(sessionID);
  if (sendNewSessionBeganSignal()) UsageTelemetry::send("newSessionBegan");
}

void UsageTelemetryConfiguration::storeSessionIDSilently(const std::string& sessionID) {
  auto canonical = canonicalSession(sessionID);
  std::lock_guard lock(m_mutex);
  m_sessionID = std::move(canonical);
}

bool UsageTelemetryConfiguration::sendSignalsInDebugConfiguration() const {
  std::lock_guard lock(m_mutex);
  return m_sendSignalsInDebugConfiguration;
}

void UsageTelemetryConfiguration::setSendSignalsInDebugConfiguration(bool value) {
  std::lock_guard lock(m_mutex);
  m_sendSignalsInDebugConfiguration = value;
}

bool UsageTelemetryConfiguration::testMode() const {
  std::lock_guard lock(m_mutex);
  return m_testMode.value_or(false);
}

void UsageTelemetryConfiguration::setTestMode(bool value) {
  std::lock_guard lock(m_mutex);
  m_testMode = value;
}

bool UsageTelemetryConfiguration::previewMode() const {
  std::lock_guard lock(m_mutex);
  return m_previewMode.value_or(false);
}

void UsageTelemetryConfiguration::setPreviewMode(std::optional<bool> value) {
  std::lock_guard lock(m_mutex);
  m_previewMode = value;
}

bool UsageTelemetryConfiguration::analyticsDisabled() const {
  std::lock_guard lock(m_mutex);
  return m_analyticsDisabled;
}

void UsageTelemetryConfiguration::setAnalyticsDisabled(bool value) {
  std::lock_guard lock(m_mutex);
  m_analyticsDisabled = value;
}

bool UsageTelemetryConfiguration::showDebugLogs() const {
  std::lock_guard lock(m_mutex);
  return m_showDebugLogs;
}

void UsageTelemetryConfiguration::setShowDebugLogs(bool value) {
  std::lock_guard lock(m_mutex);
  m_showDebugLogs = value;
}

std::optional<LogHandler> UsageTelemetryConfiguration::logHandler() const {
  std::lock_guard lock(m_mutex);
  return m_logHandler;
}

void UsageTelemetryConfiguration::setLogHandler(std::optional<LogHandler> handler) {
  std::lock_guard lock(m_mutex);
  m_logHandler = std::move(handler);
}

std::vector<std::shared_ptr<SignalEnricher>> UsageTelemetryConfiguration::metadataEnrichers()
    const {
  std::lock_guard lock(m_mutex);
  return m_metadataEnrichers;
}

void UsageTelemetryConfiguration::setMetadataEnrichers(
    std::vector<std::shared_ptr<SignalEnricher>> enrichers) {
  std::lock_guard lock(m_mutex);
  m_metadataEnrichers = std::move(enrichers);
}

std::string UsageTelemetryConfiguration::appVersion() const {
  std::lock_guard lock(m_mutex);
  return m_appVersion;
}

void UsageTelemetryConfiguration::setAppVersion(std::string version) {
  std::lock_guard lock(m_mutex);
  m_appVersion = std::move(version);
}

std::string UsageTelemetryConfiguration::buildNumber() const {
  std::lock_guard lock(m_mutex);
  return m_buildNumber;
}

void UsageTelemetryConfiguration::setBuildNumber(std::string build) {
  std::lock_guard lock(m_mutex);
  m_buildNumber = std::move(build);
}

void UsageTelemetryConfiguration::log(LogHandler::LogLevel level,
                                      const std::string& message) const {
  // The handler is the host's code: call it outside the lock.
  const auto handler = logHandler();
  if (handler) handler->log(level, message);
}

}  // namespace tessra::telemetry
