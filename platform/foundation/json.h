// The JSON coding rules shared by every record the program stores or sends.
//
// Records are nlohmann::json values built by free `to_json`/`from_json` functions beside each
// record. Two things nlohmann does not do the way the stored and wire formats need are done here:
//
//  - Writing (`encodeJson`): compact, "/" written as "\/" (unless the options say otherwise),
//    a non-finite number fails instead of
//    becoming null, invalid UTF-8 written as U+FFFD, integral floating-point values written
//    without a fraction (a date of 0 seconds is written "0").
//  - Reading (`requiredField`, `optionalField`, `decodeValue`): strict types, so an integer
//    field rejects 3.5 and "1", a text field rejects 7, and every failure names the key path
//    that failed ("choices[0].delta.role"). Unknown keys are ignored.
//
// A record then reads:
//
//   void from_json(const nlohmann::json& j, Conversation& c) {
//     c.id = requiredField<std::string>(j, "id");
//     c.config = optionalField<ConversationConfig>(j, "config");
//     c.createdAt = requiredField<Date>(j, "createdAt");
//   }
//   void to_json(nlohmann::json& j, const Conversation& c) {
//     j = {{"id", c.id}, {"createdAt", c.createdAt}};
//     putOptional(j, "config", c.config);
//   }
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/foundation/date.h"
#include "platform/foundation/error.h"

namespace tessra::platform {

// Encoding failed: a number is not finite, or a value cannot be represented.
class JsonEncodingError : public Error {
 public:
  using Error::Error;
};

// Decoding failed. `codingPath()` is where, as "key.sub[2].leaf" ("" for the document itself).
class JsonDecodingError : public Error {
 public:
  enum class Kind { dataCorrupted, keyNotFound, valueNotFound, typeMismatch };

  JsonDecodingError(Kind kind, std::string codingPath, std::string detail);

  Kind kind() const { return m_kind; }
  const std::string& codingPath() const { return m_codingPath; }
  const std::string& detail() const { return m_detail; }

  // The same error seen from one level up: `segment` ("key" or "[3]") prefixed to the path.
  JsonDecodingError nested(std::string_view segment) const;

 private:
  Kind m_kind;
  std::string m_codingPath;
  std::string m_detail;
};

struct JsonEncodingOptions {
  // "/" written as "\/"; the message page's JSON writes it as it is.
  bool escapeSlashes = true;
};

// The deepest nesting of arrays and objects read or written. Copying, comparing, destroying and
// writing a value recurse once per level, so a document from outside nested deeper than this
// could end the program on a stack overflow; such documents are refused instead.
inline constexpr int kMaxJsonNesting = 512;

// Writes the value compactly with the rules above. Throws JsonEncodingError, also for a value
// nested deeper than kMaxJsonNesting. An ordered value
// keeps its keys in insertion order, for wire formats whose peers expect a fixed key order.
std::string encodeJson(const nlohmann::json& value, JsonEncodingOptions options = {});
std::string encodeJson(const nlohmann::ordered_json& value, JsonEncodingOptions options = {});

// Parses one JSON document (nothing but white space may follow it). Throws JsonDecodingError of
// kind dataCorrupted for text that is not JSON or is nested deeper than kMaxJsonNesting; the
// depth is checked before any value is built.
nlohmann::json parseJson(std::string_view text);

// A short name for the JSON type of a value, for error texts: "number 3.5", "string", "null".
std::string describeJsonValue(const nlohmann::json& value);

// --- Strict reading --------------------------------------------------------------------------

template <class T>
T decodeValue(const nlohmann::json& j);

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};
template <class T>
struct IsStringMap : std::false_type {};
template <class T>
struct IsStringMap<std::map<std::string, T>> : std::true_type {};

[[noreturn]] void throwTypeMismatch(const nlohmann::json& j, std::string_view expected);
[[noreturn]] void throwValueNotFound(std::string_view expected);

template <std::integral T>
T decodeInteger(const nlohmann::json& j) {
  if (j.is_null()) throwValueNotFound("an integer");
  if (j.is_number_unsigned()) {
    const auto v = j.get<std::uint64_t>();
    if (v > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
      throwTypeMismatch(j, "an integer in range");
    return static_cast<T>(v);
  }
  if (j.is_number_integer()) {
    const auto v = j.get<std::int64_t>();
    if (v < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
        (v > 0 &&
         static_cast<std::uint64_t>(v) > static_cast<std::uint64_t>(std::numeric_limits<T>::max())))
      throwTypeMismatch(j, "an integer in range");
    return static_cast<T>(v);
  }
  if (j.is_number_float()) {
    // 3.0 is an integer written with a fraction; 3.5 is not an integer at all. The largest
    // 64-bit integers round up to a power of two as doubles, one past the range, so the upper
    // bound is exclusive and taken one above the largest value.
    const double v = j.get<double>();
    if (std::isfinite(v) && std::trunc(v) == v &&
        v >= static_cast<double>(std::numeric_limits<T>::min()) &&
        v < static_cast<double>(std::numeric_limits<T>::max()) + 1.0)
      return static_cast<T>(v);
  }
  throwTypeMismatch(j, "an integer");
}

}  // namespace detail

// Decodes one value with the strict rules. Records decode through their `from_json`.
template <class T>
T decodeValue(const nlohmann::json& j) {
  if constexpr (detail::IsOptional<T>::value) {
    if (j.is_null()) return std::nullopt;
    return decodeValue<typename T::value_type>(j);
  } else if constexpr (std::is_same_v<T, bool>) {
    if (j.is_null()) detail::throwValueNotFound("a boolean");
    if (!j.is_boolean()) detail::throwTypeMismatch(j, "a boolean");
    return j.get<bool>();
  } else if constexpr (std::is_integral_v<T>) {
    return detail::decodeInteger<T>(j);
  } else if constexpr (std::is_floating_point_v<T>) {
    if (j.is_null()) detail::throwValueNotFound("a number");
    if (!j.is_number()) detail::throwTypeMismatch(j, "a number");
    return j.get<T>();
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (j.is_null()) detail::throwValueNotFound("a string");
    if (!j.is_string()) detail::throwTypeMismatch(j, "a string");
    return j.get<std::string>();
  } else if constexpr (std::is_same_v<T, Date>) {
    return Date::fromReferenceDate(decodeValue<double>(j));
  } else if constexpr (std::is_same_v<T, nlohmann::json>) {
    return j;
  } else if constexpr (detail::IsVector<T>::value) {
    if (j.is_null()) detail::throwValueNotFound("an array");
    if (!j.is_array()) detail::throwTypeMismatch(j, "an array");
    T values;
    values.reserve(j.size());
    for (std::size_t i = 0; i < j.size(); ++i) {
      try {
        values.push_back(decodeValue<typename T::value_type>(j[i]));
      } catch (const JsonDecodingError& e) {
        throw e.nested("[" + std::to_string(i) + "]");
      }
    }
    return values;
  } else if constexpr (detail::IsStringMap<T>::value) {
    if (j.is_null()) detail::throwValueNotFound("an object");
    if (!j.is_object()) detail::throwTypeMismatch(j, "an object");
    T values;
    for (const auto& [key, item] : j.items()) {
      try {
        values.emplace(key, decodeValue<typename T::mapped_type>(item));
      } catch (const JsonDecodingError& e) {
        throw e.nested(key);
      }
    }
    return values;
  } else {
    // A record or enumeration: its own from_json, which reads its fields strictly through the
    // helpers here. nlohmann's own type errors are turned into decoding errors.
    if (j.is_null()) detail::throwValueNotFound("a value");
    try {
      // Called directly rather than through `j.get<T>()`, whose check that T can be made is
      // cached by clang while an enclosing record is still incomplete, for a nested record.
      T value;
      from_json(j, value);
      return value;
    } catch (const nlohmann::json::exception& e) {
      throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "", e.what());
    }
  }
}

// The value under `key`; a missing key, a null or a value of the wrong type throws.
template <class T>
T requiredField(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) detail::throwTypeMismatch(object, "an object");
  const auto it = object.find(key);
  if (it == object.end())
    throw JsonDecodingError(JsonDecodingError::Kind::keyNotFound, std::string(key),
                            "No value for the key");
  try {
    return decodeValue<T>(*it);
  } catch (const JsonDecodingError& e) {
    throw e.nested(key);
  }
}

// The value under `key`; a missing key and a null both read as absent; a value of the wrong type
// throws.
template <class T>
std::optional<T> optionalField(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) detail::throwTypeMismatch(object, "an object");
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  try {
    return decodeValue<T>(*it);
  } catch (const JsonDecodingError& e) {
    throw e.nested(key);
  }
}

// Parses and decodes a whole document.
template <class T>
T decodeJson(std::string_view text) {
  return decodeValue<T>(parseJson(text));
}

// --- Writing helpers -------------------------------------------------------------------------

// Writes `key` only when the value is present, never a null; into a plain or an insertion-ordered
// object alike.
template <class Json, class T>
void putOptional(Json& object, const char* key, const std::optional<T>& value) {
  if (value) object[key] = *value;
}

// Writes `key` always: the value, or null when absent.
template <class T>
void putNullable(nlohmann::json& object, const char* key, const std::optional<T>& value) {
  if (value) {
    object[key] = *value;
  } else {
    object[key] = nullptr;
  }
}

// Dates are written as numbers of seconds since 2001-01-01 00:00:00 UTC.
void to_json(nlohmann::json& j, const Date& date);
void from_json(const nlohmann::json& j, Date& date);

}  // namespace tessra::platform
