// The answer to an image-generation request (and to the image-edit and image-variation ones):
// when it was made and the images, each as an address to download, as Base64 text, or both.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tessra::aiclient {

struct ImagesResult {
  struct Image {
    // The image itself as Base64 text.
    std::optional<std::string> b64Json{};
    // The prompt as the service rewrote it.
    std::optional<std::string> revisedPrompt{};
    // The address from which the image is downloaded.
    std::optional<std::string> url{};

    bool operator==(const Image&) const = default;
  };

  // The creation time as the service gives it.
  double created = 0;
  // In the service's order.
  std::vector<Image> data{};

  bool operator==(const ImagesResult&) const = default;
};

void to_json(nlohmann::json& j, const ImagesResult::Image& value);
void from_json(const nlohmann::json& j, ImagesResult::Image& value);
void to_json(nlohmann::json& j, const ImagesResult& value);
void from_json(const nlohmann::json& j, ImagesResult& value);

}  // namespace tessra::aiclient
