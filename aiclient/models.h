// The model-listing records: one model looked up by its identifier (GET "/v1/models/<id>") and
// the list of every model (GET "/v1/models"). Neither request has a body; only the query's
// identifier reaches the service, as the last segment of the path.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "aiclient/ordered_json.h"

namespace tessra::aiclient {

struct ModelQuery {
  // The identifier of the model to look up.
  std::string model{};

  bool operator==(const ModelQuery&) const = default;
};

struct ModelResult {
  std::string id{};
  // The creation time as the service gives it.
  double created = 0;
  // The service's object type ("model").
  std::string object{};
  std::string ownedBy{};

  bool operator==(const ModelResult&) const = default;
};

struct ModelsResult {
  // In the service's order.
  std::vector<ModelResult> data{};
  // "list".
  std::string object{};

  bool operator==(const ModelsResult&) const = default;
};

// The identifier as one path segment, to follow "/v1/models/": every character but letters,
// digits and "-._~:@" is percent-encoded (so "/", "?", "#" and "%" cannot reach into another
// part of the URL), and a segment of only dots is encoded whole so that it names no folder.
std::string modelPathSegment(std::string_view model);

void to_json(OrderedJson& j, const ModelQuery& value);
void from_json(const nlohmann::json& j, ModelQuery& value);
void to_json(OrderedJson& j, const ModelResult& value);
void from_json(const nlohmann::json& j, ModelResult& value);
void to_json(OrderedJson& j, const ModelsResult& value);
void from_json(const nlohmann::json& j, ModelsResult& value);

}  // namespace tessra::aiclient
