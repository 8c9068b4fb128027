// The failed outcomes of a post to the collector.
//
// `what()` is the description a person reads ("Unauthorized (401)"); `caseName()` is the form
// the client logs ("Unauthorised", "InvalidStatusCode(statusCode: 500)").
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/error.h"

namespace tessra::telemetry {

class TelemetryError : public Error {
 public:
  enum class Kind { InvalidStatusCode, Unauthorised, Forbidden, PayloadTooLarge };

  static TelemetryError invalidStatusCode(int statusCode);
  static TelemetryError unauthorised();
  static TelemetryError forbidden();
  static TelemetryError payloadTooLarge();

  // The error for an HTTP status, or nothing for 200 to 299. A response that is not an HTTP
  // response is given as status 0.
  static std::optional<TelemetryError> forStatus(int statusCode);

  Kind kind() const { return m_kind; }
  // The status of InvalidStatusCode; the fixed status of the other cases.
  int statusCode() const { return m_statusCode; }
  std::string caseName() const;
  std::string debugDescription() const override { return caseName(); }

  bool operator==(const TelemetryError& other) const {
    return m_kind == other.m_kind && m_statusCode == other.m_statusCode;
  }

 private:
  TelemetryError(Kind kind, int statusCode, const std::string& description);

  Kind m_kind;
  int m_statusCode;
};

}  // namespace tessra::telemetry
