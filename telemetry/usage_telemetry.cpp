#include "telemetry/usage_telemetry.h"

#include <mutex>
#include <utility>

#include "platform/foundation/logger.h"
#include "platform/foundation/uuid.h"

namespace tessra::telemetry {

namespace {

struct SharedSlot {
  std::mutex mutex;  // guards manager
  std::shared_ptr<UsageTelemetry> manager;
};

SharedSlot& sharedSlot() {
  static SharedSlot slot;
  return slot;
}

}  // namespace

UsageTelemetry::UsageTelemetry(std::shared_ptr<UsageTelemetryConfiguration> configuration,
                               std::shared_ptr<SignalManageable> signalManager)
    : m_configuration(std::move(configuration)), m_signalManager(std::move(signalManager)) {}

void UsageTelemetry::initialize(std::shared_ptr<UsageTelemetryConfiguration> configuration,
                                SignalManager::Options options) {
  auto signalManager = SignalManager::create(configuration, std::move(options));
  install(std::make_shared<UsageTelemetry>(std::move(configuration), std::move(signalManager)));
}

void UsageTelemetry::install(std::shared_ptr<UsageTelemetry> manager) {
  std::shared_ptr<UsageTelemetry> previous;
  {
    std::lock_guard lock(sharedSlot().mutex);
    previous = std::exchange(sharedSlot().manager, std::move(manager));
  }
  // The earlier manager is released outside the lock: its signal manager may still be posting.
}

bool UsageTelemetry::isInitialized() {
  std::lock_guard lock(sharedSlot().mutex);
  return sharedSlot().manager != nullptr;
}

void UsageTelemetry::terminate() { install(nullptr); }

std::shared_ptr<UsageTelemetry> UsageTelemetry::shared() {
  std::shared_ptr<UsageTelemetry> manager;
  {
    std::lock_guard lock(sharedSlot().mutex);
    manager = sharedSlot().manager;
  }
  if (!manager)
    platform::logError(
        "Usage telemetry is used before UsageTelemetry::initialize(...); the signal is dropped");
  return manager;
}

void UsageTelemetry::send(const std::string& signalType,
                          const std::optional<std::string>& clientUser,
                          std::optional<double> floatValue,
                          const std::map<std::string, std::string>& additionalPayload) {
  if (auto manager = shared())
    manager->sendSignal(signalType, clientUser, floatValue, additionalPayload);
}

void UsageTelemetry::updateDefaultUser(std::optional<std::string> user) {
  if (auto manager = shared()) manager->setDefaultUser(std::move(user));
}

void UsageTelemetry::generateNewSession() {
  if (auto manager = shared()) manager->startNewSession();
}

void UsageTelemetry::sendSignal(const std::string& signalType,
                                const std::optional<std::string>& clientUser,
                                std::optional<double> floatValue,
                                const std::map<std::string, std::string>& additionalPayload) {
  if (m_configuration->previewMode()) return;
  if (m_configuration->analyticsDisabled()) return;
  m_signalManager->processSignal(signalType, clientUser, floatValue, additionalPayload,
                                 m_configuration);
}

void UsageTelemetry::setDefaultUser(std::optional<std::string> user) {
  m_configuration->setDefaultUser(std::move(user));
}

void UsageTelemetry::startNewSession() {
  m_configuration->storeSessionIDSilently(platform::makeUuidString());
  if (m_configuration->sendNewSessionBeganSignal()) send("newSessionBegan");
}

}  // namespace tessra::telemetry
