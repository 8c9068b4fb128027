// The settings of the telemetry client, filled in once by the host and shared by the manager,
// the signal manager and the record builder; plus the enricher interface through which a host
// adds payload entries to every signal.
//
//   auto configuration = std::make_shared<UsageTelemetryConfiguration>(appID);
//   configuration->setAppVersion("1.0.0");
//   UsageTelemetry::initialize(configuration);
//
// Threads: the configuration is read on the client's worker threads while the host may still
// change a field, so every changeable field is guarded by the configuration's own mutex. The
// fields fixed at creation (`telemetryAppID`, `apiBaseURL`, `salt`) need no guard.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "telemetry/log_handler.h"

namespace tessra::telemetry {

// Adds entries to the payload of every signal. Called on the client's worker threads.
class SignalEnricher {
 public:
  virtual ~SignalEnricher() = default;
  virtual std::map<std::string, std::string> enrich(const std::string& signalType,
                                                    const std::optional<std::string>& clientUser,
                                                    std::optional<double> floatValue) = 0;
};

class UsageTelemetryConfiguration {
 public:
  // The environment variable that names the collector's base address.
  static constexpr const char* kCollectorUrlVariable = "TESSRA_TELEMETRY_URL";

  // `appID` is the application identifier in UUID text form. Without `salt` the salt is empty.
  // Without `baseURL` the collector is the one named by TESSRA_TELEMETRY_URL; when that is unset
  // too there is no collector, and signals are queued and cached but never posted.
  explicit UsageTelemetryConfiguration(std::string appID,
                                       std::optional<std::string> salt = std::nullopt,
                                       std::optional<std::string> baseURL = std::nullopt);
  UsageTelemetryConfiguration(const UsageTelemetryConfiguration&) = delete;
  UsageTelemetryConfiguration& operator=(const UsageTelemetryConfiguration&) = delete;

  const std::string& telemetryAppID() const { return m_telemetryAppID; }
  const std::optional<std::string>& apiBaseURL() const { return m_apiBaseURL; }
  const std::string& salt() const { return m_salt; }

  std::optional<std::string> defaultUser() const;
  void setDefaultUser(std::optional<std::string> user);

  bool sendNewSessionBeganSignal() const;
  void setSendNewSessionBeganSignal(bool value);

  // The current session in upper-case UUID text form.
  std::string sessionID() const;
  // Stores a new session (a UUID text in either case) and, when `sendNewSessionBeganSignal` is
  // on, sends "newSessionBegan" through the shared manager. Throws TextError for a text that is
  // not a UUID.
  void setSessionID(const std::string& sessionID);
  // Stores a new session without sending anything.
  void storeSessionIDSilently(const std::string& sessionID);

  bool sendSignalsInDebugConfiguration() const;
  void setSendSignalsInDebugConfiguration(bool value);

  // False until a value is written.
  bool testMode() const;
  void setTestMode(bool value);

  // Whether signals are dropped because the program runs inside a preview host. This platform
  // has no such host, so it is false until a value is written.
  bool previewMode() const;
  void setPreviewMode(std::optional<bool> value);

  bool analyticsDisabled() const;
  void setAnalyticsDisabled(bool value);

  bool showDebugLogs() const;
  void setShowDebugLogs(bool value);

  // Standard output at level info until changed.
  std::optional<LogHandler> logHandler() const;
  void setLogHandler(std::optional<LogHandler> handler);

  std::vector<std::shared_ptr<SignalEnricher>> metadataEnrichers() const;
  void setMetadataEnrichers(std::vector<std::shared_ptr<SignalEnricher>> enrichers);

  // The program's version and build number for the default payload; "0" until set. The host
  // sets them once, before the first signal.
  std::string appVersion() const;
  void setAppVersion(std::string version);
  std::string buildNumber() const;
  void setBuildNumber(std::string build);

  // Hands the message to the current log handler, when there is one.
  void log(LogHandler::LogLevel level, const std::string& message) const;

 private:
  const std::string m_telemetryAppID;
  const std::optional<std::string> m_apiBaseURL;
  const std::string m_salt;

  mutable std::mutex m_mutex;  // guards every field below
  std::optional<std::string> m_defaultUser;
  bool m_sendNewSessionBeganSignal = true;
  std::string m_sessionID;
  bool m_sendSignalsInDebugConfiguration = false;
  std::optional<bool> m_testMode;
  std::optional<bool> m_previewMode;
  bool m_analyticsDisabled = false;
  bool m_showDebugLogs = false;
  std::optional<LogHandler> m_logHandler;
  std::vector<std::shared_ptr<SignalEnricher>> m_metadataEnrichers;
  std::string m_appVersion = "0";
  std::string m_buildNumber = "0";
};

}  // namespace tessra::telemetry
