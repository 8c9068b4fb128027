#include "aiclient/images_query.h"

namespace tessra::aiclient {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;

void to_json(nlohmann::json& j, const ImagesQuery::ResponseFormat& value) {
  writeRawValue(j, value);
}

void from_json(const nlohmann::json& j, ImagesQuery::ResponseFormat& value) {
  value = readRawValue<ImagesQuery::ResponseFormat>(j);
}

void to_json(nlohmann::json& j, const ImagesQuery::Size& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, ImagesQuery::Size& value) {
  value = readRawValue<ImagesQuery::Size>(j);
}

void to_json(nlohmann::json& j, const ImagesQuery::Style& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, ImagesQuery::Style& value) {
  value = readRawValue<ImagesQuery::Style>(j);
}

void to_json(nlohmann::json& j, const ImagesQuery::Quality& value) { writeRawValue(j, value); }

void from_json(const nlohmann::json& j, ImagesQuery::Quality& value) {
  value = readRawValue<ImagesQuery::Quality>(j);
}

void to_json(nlohmann::json& j, const ImagesQuery& value) {
  j = {{"prompt", value.prompt}};
  putOptional(j, "model", value.model);
  putOptional(j, "n", value.n);
  putOptional(j, "size", value.size);
  putOptional(j, "user", value.user);
  putOptional(j, "style", value.style);
  putOptional(j, "response_format", value.responseFormat);
  putOptional(j, "quality", value.quality);
}

void from_json(const nlohmann::json& j, ImagesQuery& value) {
  ImagesQuery query;
  query.model = optionalField<std::string>(j, "model");
  query.prompt = requiredField<std::string>(j, "prompt");
  query.n = optionalField<std::int64_t>(j, "n");
  query.size = optionalField<ImagesQuery::Size>(j, "size");
  query.user = optionalField<std::string>(j, "user");
  query.style = optionalField<ImagesQuery::Style>(j, "style");
  query.responseFormat = optionalField<ImagesQuery::ResponseFormat>(j, "response_format");
  query.quality = optionalField<ImagesQuery::Quality>(j, "quality");
  value = std::move(query);
}

}  // namespace tessra::aiclient
