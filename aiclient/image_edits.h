// The image-edit and image-variation requests, sent as multipart forms to "/v1/images/edits"
// and "/v1/images/variations" and answered with `ImagesResult`.
//
//   ImageEditsQuery edit(pngBytes, "Add a red balloon");
//   edit.mask = maskBytes;
//   edit.size = ImagesQuery::Size::_512;
//
// The pictures are sent as "image.png" and "mask.png" with the content type "image/png", whatever
// format their bytes really hold; the other fields follow as text parts, absent ones left out.
// The records also have a JSON form (the pictures as Base64), which is never sent.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "aiclient/images_query.h"
#include "aiclient/multipart_form_data.h"
#include "aiclient/ordered_json.h"
#include "platform/foundation/base64.h"

namespace tessra::aiclient {

struct ImageEditsQuery : MultipartFormDataBodyEncodable {
  ImageEditsQuery() = default;
  // The prompt comes second, before the mask.
  ImageEditsQuery(Bytes image, std::string prompt, std::optional<Bytes> mask = std::nullopt,
                  std::optional<std::string> model = std::nullopt,
                  std::optional<std::int64_t> n = std::nullopt,
                  std::optional<ImagesQuery::ResponseFormat> responseFormat = std::nullopt,
                  std::optional<ImagesQuery::Size> size = std::nullopt,
                  std::optional<std::string> user = std::nullopt);

  // Parts: image, mask, model, response_format, user, prompt, n, size.
  Bytes encode(const std::string& boundary) const override;

  bool operator==(const ImageEditsQuery& other) const;

  // The picture to edit.
  Bytes image{};
  // Where the picture may change: its fully transparent areas.
  std::optional<Bytes> mask{};
  std::string prompt{};
  std::optional<std::string> model{};
  // How many images are asked for.
  std::optional<std::int64_t> n{};
  std::optional<ImagesQuery::ResponseFormat> responseFormat{};
  std::optional<ImagesQuery::Size> size{};
  std::optional<std::string> user{};
};

struct ImageVariationsQuery : MultipartFormDataBodyEncodable {
  ImageVariationsQuery() = default;
  ImageVariationsQuery(Bytes image, std::optional<std::string> model = std::nullopt,
                       std::optional<std::int64_t> n = std::nullopt,
                       std::optional<ImagesQuery::ResponseFormat> responseFormat = std::nullopt,
                       std::optional<std::string> size = std::nullopt,
                       std::optional<std::string> user = std::nullopt);

  // Parts: image, model, response_format, user, n, size.
  Bytes encode(const std::string& boundary) const override;

  bool operator==(const ImageVariationsQuery& other) const;

  // The picture to vary.
  Bytes image{};
  std::optional<std::string> model{};
  std::optional<std::int64_t> n{};
  std::optional<ImagesQuery::ResponseFormat> responseFormat{};
  // Free text here ("1024x1024"), sent as it is.
  std::optional<std::string> size{};
  std::optional<std::string> user{};
};

// Keys in field order, the pictures as Base64; the optional ones only when set.
void to_json(OrderedJson& j, const ImageEditsQuery& value);
void from_json(const nlohmann::json& j, ImageEditsQuery& value);
void to_json(OrderedJson& j, const ImageVariationsQuery& value);
void from_json(const nlohmann::json& j, ImageVariationsQuery& value);

}  // namespace tessra::aiclient
