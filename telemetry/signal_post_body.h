// One telemetry signal as it is queued, cached on disk and posted to the collector.
//
// The record has two JSON encodings that differ only in the date:
//  - the cache encoding (`to_json`/`from_json`): `receivedAt` as seconds since 2001-01-01 UTC;
//  - the wire encoding (`toWireJson`): `receivedAt` as text, "2024-03-09T17:05:42+0000".
// `floatValue` is left out when absent; every other field is always written.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/date.h"

namespace tessra::telemetry {

struct SignalPostBody {
  platform::Date receivedAt;
  // Upper-case UUID text.
  std::string appID;
  // 64 lower-case hexadecimal digits: the hashed user.
  std::string clientUser;
  // Upper-case UUID text.
  std::string sessionID;
  std::string type;
  std::optional<double> floatValue;
  // "key:value" entries.
  std::vector<std::string> payload;
  // "true" or "false".
  std::string isTestMode;

  bool operator==(const SignalPostBody&) const = default;
};

// The cache encoding. Reading rejects an `appID` that is not a UUID text.
void to_json(nlohmann::json& j, const SignalPostBody& body);
void from_json(const nlohmann::json& j, SignalPostBody& body);

// The wire encoding of the collector.
nlohmann::json toWireJson(const SignalPostBody& body);

// A date in the collector's pattern, in UTC to the whole second: "2024-03-09T17:05:42+0000".
std::string wireDateText(platform::Date date);

// Every field in one line, for debug logs.
std::string dump(const SignalPostBody& body);

}  // namespace tessra::telemetry
