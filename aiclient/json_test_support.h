// Helpers for the record tests: the wire text of a value, and the decoding error a text gives.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/json.h"

namespace tessra::aiclient::testing {

using platform::JsonDecodingError;

// The text the request layer sends for `value`.
template <class T>
std::string wire(const T& value) {
  return platform::encodeJson(nlohmann::json(value));
}

template <class T>
T decode(std::string_view text) {
  return platform::decodeJson<T>(text);
}

// The error decoding `text` as T gives, or nothing (with a test failure) when it decodes.
template <class T>
std::optional<JsonDecodingError> decodingError(std::string_view text) {
  try {
    platform::decodeJson<T>(text);
  } catch (const JsonDecodingError& error) {
    return error;
  }
  ADD_FAILURE() << "decoded without an error: " << text;
  return std::nullopt;
}

// A bad input and where and how it must fail.
struct BadInput {
  std::string text;
  std::string codingPath;
  JsonDecodingError::Kind kind;
};

inline void PrintTo(const BadInput& input, std::ostream* out) { *out << input.text; }

template <class T>
void expectDecodingErrors(const std::vector<BadInput>& inputs) {
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.text);
    const auto error = decodingError<T>(input.text);
    if (!error) continue;
    EXPECT_EQ(error->codingPath(), input.codingPath) << error->what();
    EXPECT_EQ(error->kind(), input.kind) << error->what();
  }
}

}  // namespace tessra::aiclient::testing
