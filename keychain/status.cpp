#include "keychain/status.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "platform/foundation/logger.h"

namespace tessra::keychain {
namespace {

struct StatusCase {
  Status status;
  std::string_view message;
};

constexpr std::array kCases{
#define TESSRA_STATUS(name, code, message) StatusCase{Status::name, message},
#include "keychain/status_cases.inc"
#undef TESSRA_STATUS
};

constexpr std::array kStatuses = [] {
  std::array<Status, kCases.size()> statuses{};
  for (std::size_t i = 0; i < kCases.size(); ++i) statuses[i] = kCases[i].status;
  return statuses;
}();

const StatusCase* findCase(std::int32_t code) {
  auto it = std::ranges::find(kCases, code, [](const StatusCase& c) { return rawValue(c.status); });
  return it == kCases.end() ? nullptr : &*it;
}

}  // namespace

std::span<const Status> allStatuses() { return kStatuses; }

std::optional<Status> statusFromRawValue(std::int32_t code) {
  if (const StatusCase* found = findCase(code)) return found->status;
  return std::nullopt;
}

Status statusFromCode(std::int32_t code) {
  return statusFromRawValue(code).value_or(Status::unexpectedError);
}

std::string_view description(Status status) {
  const StatusCase* found = findCase(rawValue(status));
  return found ? found->message : description(Status::unexpectedError);
}

Status securityError(std::int32_t code) {
  Status status = statusFromCode(code);
  // A user who dismissed the keyring's prompt knows why the operation stopped.
  if (status != Status::userCanceled)
    platform::logError("OSStatus error:[{}] {}", rawValue(status), description(status));
  return status;
}

StatusError::StatusError(Status status)
    : Error(std::string(description(status))), m_status(status) {}

}  // namespace tessra::keychain
