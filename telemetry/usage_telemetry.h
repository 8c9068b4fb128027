// The telemetry client's front: the process-wide manager through which the host sends its
// usage signals.
//
//   auto configuration = std::make_shared<UsageTelemetryConfiguration>(kAppID);
//   UsageTelemetry::initialize(configuration);
//   UsageTelemetry::send("ping");
//
// `send` never blocks and never fails: a signal is dropped while analytics are disabled or in a
// preview run, and asking for the shared manager before `initialize` logs and drops the signal.
// The class-level operations (`send`, `updateDefaultUser`, `generateNewSession`) act on the
// shared manager; a manager's own are `sendSignal`, `setDefaultUser` and `startNewSession`.
//
// Threads: every operation may be called from any thread; the shared slot is guarded by a mutex.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "telemetry/configuration.h"
#include "telemetry/signal_manageable.h"
#include "telemetry/signal_manager.h"

namespace tessra::telemetry {

class UsageTelemetry {
 public:
  UsageTelemetry(std::shared_ptr<UsageTelemetryConfiguration> configuration,
                 std::shared_ptr<SignalManageable> signalManager);

  // Makes a manager with a new signal manager for the configuration (which loads the cache
  // file, starts the timer and sends at once) and puts it in the shared slot, replacing and
  // releasing any earlier one.
  static void initialize(std::shared_ptr<UsageTelemetryConfiguration> configuration,
                         SignalManager::Options options = {});
  // Puts a ready-made manager in the shared slot.
  static void install(std::shared_ptr<UsageTelemetry> manager);
  static bool isInitialized();
  // Empties the shared slot.
  static void terminate();
  // The shared manager; nothing, with a log line, before `initialize`.
  static std::shared_ptr<UsageTelemetry> shared();

  // Sends a signal through the shared manager.
  static void send(const std::string& signalType,
                   const std::optional<std::string>& clientUser = std::nullopt,
                   std::optional<double> floatValue = std::nullopt,
                   const std::map<std::string, std::string>& additionalPayload = {});
  static void updateDefaultUser(std::optional<std::string> user);
  static void generateNewSession();

  // Drops the signal in a preview run or while analytics are disabled; otherwise hands it to
  // the signal manager, which returns at once (and leaves out a non-finite `floatValue`).
  void sendSignal(const std::string& signalType,
                  const std::optional<std::string>& clientUser = std::nullopt,
                  std::optional<double> floatValue = std::nullopt,
                  const std::map<std::string, std::string>& additionalPayload = {});
  void setDefaultUser(std::optional<std::string> user);
  // A new random session; sends "newSessionBegan" through the shared manager when the
  // configuration says so.
  void startNewSession();

  const std::shared_ptr<UsageTelemetryConfiguration>& configuration() const {
    return m_configuration;
  }
  const std::shared_ptr<SignalManageable>& signalManager() const { return m_signalManager; }

 private:
  const std::shared_ptr<UsageTelemetryConfiguration> m_configuration;
  const std::shared_ptr<SignalManageable> m_signalManager;
};

}  // namespace tessra::telemetry
