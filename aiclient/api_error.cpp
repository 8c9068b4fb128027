#include "aiclient/api_error.h"

#include <vector>

#include "platform/foundation/json.h"

namespace tessra::aiclient {

using platform::JsonDecodingError;
using platform::optionalField;
using platform::putOptional;
using platform::requiredField;

APIError::APIError(std::string message, std::string type, std::optional<std::string> param,
                   std::optional<std::string> code)
    : Error(""),
      message(std::move(message)),
      type(std::move(type)),
      param(std::move(param)),
      code(std::move(code)) {}

std::string APIError::debugDescription() const {
  std::string text = message + " (type " + type;
  if (param) text += ", param " + *param;
  if (code) text += ", code " + *code;
  return text + ")";
}

bool APIError::operator==(const APIError& other) const {
  return message == other.message && type == other.type && param == other.param &&
         code == other.code;
}

APIErrorResponse::APIErrorResponse(APIError error) : Error(""), error(std::move(error)) {}

void from_json(const nlohmann::json& j, APIError& value) {
  if (!j.is_object())
    throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "",
                            "expected an object, found " + platform::describeJsonValue(j));
  std::string message;
  const auto it = j.find("message");
  if (it != j.end() && it->is_string()) {
    message = it->get<std::string>();
  } else {
    // The service sometimes lists several messages; they are shown one per line.
    try {
      const auto lines = platform::requiredField<std::vector<std::string>>(j, "message");
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) message += '\n';
        message += lines[i];
      }
    } catch (const JsonDecodingError&) {
      throw JsonDecodingError(JsonDecodingError::Kind::typeMismatch, "message",
                              "message: expected String or [String]");
    }
  }
  APIError error(std::move(message), requiredField<std::string>(j, "type"),
                 optionalField<std::string>(j, "param"), optionalField<std::string>(j, "code"));
  value = std::move(error);
}

void to_json(nlohmann::json& j, const APIError& value) {
  j = {{"message", value.message}, {"type", value.type}};
  putOptional(j, "param", value.param);
  putOptional(j, "code", value.code);
}

void from_json(const nlohmann::json& j, APIErrorResponse& value) {
  const auto error = requiredField<nlohmann::json>(j, "error");
  try {
    value = APIErrorResponse(platform::decodeValue<APIError>(error));
  } catch (const JsonDecodingError& e) {
    // A message of the wrong kind names its own key alone, as it does for a bare error object.
    if (e.codingPath() == "message") throw;
    throw e.nested("error");
  }
}

void to_json(nlohmann::json& j, const APIErrorResponse& value) { j = {{"error", value.error}}; }

}  // namespace tessra::aiclient
