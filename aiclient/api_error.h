// The service's error envelope: the JSON object {"error": {...}} it answers with instead of a
// result. Its message is what the user reads when a request fails.
//
// Both records are errors whose description is the service's message, so the client throws or
// hands over an `APIErrorResponse` as it is. The client only reads these records; writing them
// exists for tests and logs.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/foundation/error.h"

namespace tessra::aiclient {

struct APIError : Error {
  APIError() : Error("") {}
  APIError(std::string message, std::string type, std::optional<std::string> param = {},
           std::optional<std::string> code = {});

  // The description is always the current message.
  const char* what() const noexcept override { return message.c_str(); }
  std::string debugDescription() const override;

  bool operator==(const APIError& other) const;

  // One text; a list of texts from the service arrives joined by line feeds.
  std::string message;
  std::string type;
  std::optional<std::string> param;
  std::optional<std::string> code;
};

struct APIErrorResponse : Error {
  APIErrorResponse() : Error("") {}
  explicit APIErrorResponse(APIError error);

  const char* what() const noexcept override { return error.message.c_str(); }
  std::string debugDescription() const override { return error.debugDescription(); }

  bool operator==(const APIErrorResponse& other) const { return error == other.error; }

  APIError error;
};

// "message" is a text or a list of texts; anything else fails with a type mismatch at
// "message" described as "message: expected String or [String]".
void from_json(const nlohmann::json& j, APIError& value);
void to_json(nlohmann::json& j, const APIError& value);
void from_json(const nlohmann::json& j, APIErrorResponse& value);
void to_json(nlohmann::json& j, const APIErrorResponse& value);

}  // namespace tessra::aiclient
