// Writing records whose keys must reach the service in a fixed order, and reading the byte
// buffers that records carry as Base64 text.
//
// Most wire records are written into `nlohmann::json`, whose keys come out sorted. The records
// of the endpoints beyond chat and images promise their peers a listed key order ("model",
// "input", "voice", ...), so they are written into `OrderedJson`, which keeps insertion order,
// and `platform::encodeJson` writes that order unchanged. They are still read from plain
// `nlohmann::json` with the strict readers of platform/foundation/json.h.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "aiclient/raw_value.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"

namespace tessra::aiclient {

using OrderedJson = nlohmann::ordered_json;

template <class E>
void writeRawValue(OrderedJson& j, E value) {
  j = std::string(rawValue(value));
}

// Bytes as the JSON coders write them: padded standard Base64 text.
inline std::string bytesText(const Bytes& bytes) { return platform::base64Encode(bytes); }

// The bytes under `key`, which must hold Base64 text.
Bytes requiredBytes(const nlohmann::json& object, std::string_view key);
// The same, where a missing key or a null reads as absent.
std::optional<Bytes> optionalBytes(const nlohmann::json& object, std::string_view key);

// The text the request layer sends for a record written into `OrderedJson`.
template <class T>
std::string orderedWire(const T& value) {
  return platform::encodeJson(OrderedJson(value));
}

}  // namespace tessra::aiclient
