#include "aiclient/ordered_json.h"

namespace tessra::aiclient {

namespace {

Bytes decodeBytes(const std::string& text, std::string_view key) {
  if (auto bytes = platform::base64Decode(text)) return std::move(*bytes);
  throw platform::JsonDecodingError(platform::JsonDecodingError::Kind::dataCorrupted,
                                    std::string(key), "Encountered Data is not valid Base64.");
}

}  // namespace

Bytes requiredBytes(const nlohmann::json& object, std::string_view key) {
  return decodeBytes(platform::requiredField<std::string>(object, key), key);
}

std::optional<Bytes> optionalBytes(const nlohmann::json& object, std::string_view key) {
  const auto text = platform::optionalField<std::string>(object, key);
  if (!text) return std::nullopt;
  return decodeBytes(*text, key);
}

}  // namespace tessra::aiclient
