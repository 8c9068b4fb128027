// `Status`: the error of every failing keychain operation, one case per result code the keychain
// can give, each with its code (`rawValue`) and its English message (`description`).
//
//   auto result = keychain.get("openAiKey");
//   if (!result) showAlert(description(result.error()));
//
// `securityError` is the one place where a failing code becomes a `Status`; it also writes the
// line "OSStatus error:[<code>] <message>" on standard output, except for `userCanceled`. No line
// ever carries a secret: only codes and fixed messages are written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace tessra::keychain {

enum class Status : std::int32_t {
#define TESSRA_STATUS(name, code, message) name = code,
#include "keychain/status_cases.inc"
#undef TESSRA_STATUS
};

// Every case, in declaration order.
std::span<const Status> allStatuses();

constexpr std::int32_t rawValue(Status status) { return static_cast<std::int32_t>(status); }
// The case of a code; nothing when no case has it.
std::optional<Status> statusFromRawValue(std::int32_t code);
// The case of a code; `unexpectedError` when no case has it.
Status statusFromCode(std::int32_t code);
std::string_view description(Status status);

// The case of a failing code, after writing its line (unless the user canceled).
Status securityError(std::int32_t code);

// A `Status` travelling as an error object (for example through an `ErrorPtr` to the GUI
// thread): its domain, its code, and its message as the description.
class StatusError : public Error {
 public:
  static constexpr std::string_view kErrorDomain = "org.tessra.Tessra.Keychain.Status";

  explicit StatusError(Status status);

  Status status() const { return m_status; }
  std::string_view errorDomain() const { return kErrorDomain; }
  std::int64_t errorCode() const { return rawValue(m_status); }

 private:
  Status m_status;
};

}  // namespace tessra::keychain
