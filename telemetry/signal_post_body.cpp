#include "telemetry/signal_post_body.h"

#include <fmt/format.h>

#include <cmath>
#include <ctime>

#include "platform/foundation/json.h"
#include "platform/foundation/uuid.h"

namespace tessra::telemetry {

namespace {

nlohmann::json encodeWithDate(const SignalPostBody& body, nlohmann::json receivedAt) {
  nlohmann::json j = {
      {"receivedAt", std::move(receivedAt)}, {"appID", body.appID}, {"clientUser", body.clientUser},
      {"sessionID", body.sessionID},         {"type", body.type},   {"payload", body.payload},
      {"isTestMode", body.isTestMode},
  };
  platform::putOptional(j, "floatValue", body.floatValue);
  return j;
}

}  // namespace

void to_json(nlohmann::json& j, const SignalPostBody& body) {
  j = encodeWithDate(body, body.receivedAt);
}

void from_json(const nlohmann::json& j, SignalPostBody& body) {
  using platform::optionalField;
  using platform::requiredField;
  body.receivedAt = requiredField<platform::Date>(j, "receivedAt");
  const auto appID = requiredField<std::string>(j, "appID");
  const auto canonical = platform::canonicalUuidString(appID);
  if (!canonical)
    throw platform::JsonDecodingError(platform::JsonDecodingError::Kind::dataCorrupted, "appID",
                                      "Not a UUID: " + appID);
  body.appID = *canonical;
  body.clientUser = requiredField<std::string>(j, "clientUser");
  body.sessionID = requiredField<std::string>(j, "sessionID");
  body.type = requiredField<std::string>(j, "type");
  body.floatValue = optionalField<double>(j, "floatValue");
  body.payload = requiredField<std::vector<std::string>>(j, "payload");
  body.isTestMode = requiredField<std::string>(j, "isTestMode");
}

nlohmann::json toWireJson(const SignalPostBody& body) {
  return encodeWithDate(body, wireDateText(body.receivedAt));
}

std::string wireDateText(platform::Date date) {
  const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}+0000", parts.tm_year + 1900,
                     parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
}

std::string dump(const SignalPostBody& body) {
  std::string payload;
  for (const auto& entry : body.payload) {
    if (!payload.empty()) payload += ", ";
    payload += "\"" + entry + "\"";
  }
  return fmt::format(
      "SignalPostBody(receivedAt: {}, appID: {}, clientUser: {}, sessionID: {}, type: {}, "
      "floatValue: {}, payload: [{}], isTestMode: {})",
      body.receivedAt.iso8601(), body.appID, body.clientUser, body.sessionID, body.type,
      body.floatValue ? fmt::format("{}", *body.floatValue) : std::string("nil"), payload,
      body.isTestMode);
}

}  // namespace tessra::telemetry
