#include "telemetry/telemetry_error.h"

namespace tessra::telemetry {

TelemetryError::TelemetryError(Kind kind, int statusCode, const std::string& description)
    : Error(description), m_kind(kind), m_statusCode(statusCode) {}

TelemetryError TelemetryError::invalidStatusCode(int statusCode) {
  return TelemetryError(Kind::InvalidStatusCode, statusCode,
                        "Invalid status code " + std::to_string(statusCode));
}

TelemetryError TelemetryError::unauthorised() {
  return TelemetryError(Kind::Unauthorised, 401, "Unauthorized (401)");
}

TelemetryError TelemetryError::forbidden() {
  return TelemetryError(Kind::Forbidden, 403, "Forbidden (403)");
}

TelemetryError TelemetryError::payloadTooLarge() {
  return TelemetryError(Kind::PayloadTooLarge, 413, "Payload is too large (413)");
}

std::optional<TelemetryError> TelemetryError::forStatus(int statusCode) {
  if (statusCode >= 200 && statusCode <= 299) return std::nullopt;
  switch (statusCode) {
    case 401:
      return unauthorised();
    case 403:
      return forbidden();
    case 413:
      return payloadTooLarge();
    default:
      return invalidStatusCode(statusCode);
  }
}

std::string TelemetryError::caseName() const {
  switch (m_kind) {
    case Kind::InvalidStatusCode:
      return "InvalidStatusCode(statusCode: " + std::to_string(m_statusCode) + ")";
    case Kind::Unauthorised:
      return "Unauthorised";
    case Kind::Forbidden:
      return "Forbidden";
    case Kind::PayloadTooLarge:
      return "PayloadTooLarge";
  }
  return "InvalidStatusCode(statusCode: " + std::to_string(m_statusCode) + ")";
}

}  // namespace tessra::telemetry
