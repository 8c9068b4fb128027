#include "aiclient/models.h"

#include <algorithm>

#include "platform/foundation/percent_encoding.h"

namespace tessra::aiclient {

using platform::requiredField;

std::string modelPathSegment(std::string_view model) {
  // A segment of dots alone would step through the path, so its dots are encoded too.
  if (!model.empty() && std::ranges::all_of(model, [](char c) { return c == '.'; })) {
    std::string segment;
    for (std::size_t i = 0; i < model.size(); ++i) segment += "%2E";
    return segment;
  }
  return platform::percentEncode(model, ":@");
}

void to_json(OrderedJson& j, const ModelQuery& value) { j = {{"model", value.model}}; }

void from_json(const nlohmann::json& j, ModelQuery& value) {
  value.model = requiredField<std::string>(j, "model");
}

void to_json(OrderedJson& j, const ModelResult& value) {
  j = {{"id", value.id},
       {"created", value.created},
       {"object", value.object},
       {"owned_by", value.ownedBy}};
}

void from_json(const nlohmann::json& j, ModelResult& value) {
  ModelResult result;
  result.id = requiredField<std::string>(j, "id");
  result.created = requiredField<double>(j, "created");
  result.object = requiredField<std::string>(j, "object");
  result.ownedBy = requiredField<std::string>(j, "owned_by");
  value = std::move(result);
}

void to_json(OrderedJson& j, const ModelsResult& value) {
  j = {{"data", value.data}, {"object", value.object}};
}

void from_json(const nlohmann::json& j, ModelsResult& value) {
  ModelsResult result;
  result.data = requiredField<std::vector<ModelResult>>(j, "data");
  result.object = requiredField<std::string>(j, "object");
  value = std::move(result);
}

}  // namespace tessra::aiclient
