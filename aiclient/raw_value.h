// Enumerations that travel as their text ("tool_calls", "1024x1024").
//
// Each enumeration of the wire records specialises `RawValues<E>` with its table of cases and
// texts, in declaration order; the helpers below then convert both ways and read and write the
// JSON string strictly: a text outside the table fails with a data-corrupted decoding error.
//
// `OpenEnum<E>` is for the few texts the service extends over time (a finish reason, a role in
// a streamed delta): it keeps any text, and tells whether it is one of the known cases.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/json.h"

namespace tessra::aiclient {

// Specialised per enumeration: `static constexpr std::array<std::pair<E, std::string_view>, N>
// table` and `static constexpr std::string_view typeName`.
template <class E>
struct RawValues;

template <class E>
constexpr std::string_view rawValue(E value) {
  for (const auto& [item, text] : RawValues<E>::table) {
    if (item == value) return text;
  }
  return {};
}

// The case whose text is exactly `text` (case-sensitive), or nothing.
template <class E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
  for (const auto& [item, raw] : RawValues<E>::table) {
    if (raw == text) return item;
  }
  return std::nullopt;
}

// Every case, in declaration order.
template <class E>
constexpr auto allCases() {
  std::array<E, RawValues<E>::table.size()> cases{};
  for (std::size_t i = 0; i < cases.size(); ++i) cases[i] = RawValues<E>::table[i].first;
  return cases;
}

template <class E>
void writeRawValue(nlohmann::json& j, E value) {
  j = std::string(rawValue(value));
}

template <class E>
E readRawValue(const nlohmann::json& j) {
  const auto text = platform::decodeValue<std::string>(j);
  if (const auto value = fromRawValue<E>(text)) return *value;
  throw platform::JsonDecodingError(platform::JsonDecodingError::Kind::dataCorrupted, "",
                                    "Cannot initialize " + std::string(RawValues<E>::typeName) +
                                        " from invalid String value " + text);
}

// A text that is usually one of the cases of `E`, kept exactly as received when it is not.
template <class E>
class OpenEnum {
 public:
  OpenEnum() : OpenEnum(RawValues<E>::table[0].first) {}
  // Implicit, so that a known case can stand wherever the open value is expected.
  OpenEnum(E value) : m_rawValue(aiclient::rawValue(value)) {}
  static OpenEnum fromRawValue(std::string text) {
    OpenEnum value;
    value.m_rawValue = std::move(text);
    return value;
  }

  // The known case, or nothing for a text this program does not know.
  std::optional<E> known() const { return aiclient::fromRawValue<E>(m_rawValue); }
  const std::string& rawValue() const { return m_rawValue; }

  bool operator==(const OpenEnum&) const = default;
  bool operator==(E value) const { return m_rawValue == aiclient::rawValue(value); }

 private:
  std::string m_rawValue;
};

template <class E>
void to_json(nlohmann::json& j, const OpenEnum<E>& value) {
  j = value.rawValue();
}

template <class E>
void from_json(const nlohmann::json& j, OpenEnum<E>& value) {
  value = OpenEnum<E>::fromRawValue(platform::decodeValue<std::string>(j));
}

}  // namespace tessra::aiclient
