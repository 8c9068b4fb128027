#include "aiclient/models.h"

#include <algorithm>
#include <cctype>

namespace tessra::aiclient {

namespace {

using platform::requiredField;

bool keepsInSegment(char c) {
  if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return std::string_view("-._~:@").find(c) != std::string_view::npos;
}

}  // namespace

std::string modelPathSegment(std::string_view model) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool onlyDots =
      !model.empty() && std::ranges::all_of(model, [](char c) { return c == '.'; });
  std::string segment;
  for (const char c : model) {
    if (keepsInSegment(c) && !onlyDots) {
      segment.push_back(c);
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    segment.push_back('%');
    segment.push_back(kHex[byte >> 4]);
    segment.push_back(kHex[byte & 0x0F]);
  }
  return segment;
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
