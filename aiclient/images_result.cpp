#include "aiclient/images_result.h"

#include "platform/foundation/json.h"

namespace tessra::aiclient {

using platform::optionalField;
using platform::putOptional;
using platform::requiredField;

void to_json(nlohmann::json& j, const ImagesResult::Image& value) {
  j = nlohmann::json::object();
  putOptional(j, "b64_json", value.b64Json);
  putOptional(j, "revised_prompt", value.revisedPrompt);
  putOptional(j, "url", value.url);
}

void from_json(const nlohmann::json& j, ImagesResult::Image& value) {
  ImagesResult::Image image;
  image.b64Json = optionalField<std::string>(j, "b64_json");
  image.revisedPrompt = optionalField<std::string>(j, "revised_prompt");
  image.url = optionalField<std::string>(j, "url");
  value = std::move(image);
}

void to_json(nlohmann::json& j, const ImagesResult& value) {
  j = {{"created", value.created}, {"data", value.data}};
}

void from_json(const nlohmann::json& j, ImagesResult& value) {
  ImagesResult result;
  result.created = requiredField<double>(j, "created");
  result.data = requiredField<std::vector<ImagesResult::Image>>(j, "data");
  value = std::move(result);
}

}  // namespace tessra::aiclient
