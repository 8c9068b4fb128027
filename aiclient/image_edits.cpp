#include "aiclient/image_edits.h"

#include <tuple>

namespace tessra::aiclient {

namespace {

using platform::optionalField;
using platform::requiredField;
using ResponseFormat = ImagesQuery::ResponseFormat;
using Size = ImagesQuery::Size;

constexpr const char* kPngType = "image/png";

template <class T>
std::optional<MultipartFormDataValue> part(const std::optional<T>& value) {
  if (!value) return std::nullopt;
  if constexpr (std::is_enum_v<T>) {
    return std::string(rawValue(*value));
  } else {
    return *value;
  }
}

// The JSON form writes the enumerations by their text; OrderedJson has no writer of its own for
// the image-generation enumerations, which are written into plain JSON elsewhere.
template <class E>
std::optional<std::string> enumText(const std::optional<E>& value) {
  if (!value) return std::nullopt;
  return std::string(rawValue(*value));
}

std::optional<std::string> base64Text(const std::optional<Bytes>& bytes) {
  if (!bytes) return std::nullopt;
  return bytesText(*bytes);
}

}  // namespace

ImageEditsQuery::ImageEditsQuery(Bytes image, std::string prompt, std::optional<Bytes> mask,
                                 std::optional<std::string> model, std::optional<std::int64_t> n,
                                 std::optional<ResponseFormat> responseFormat,
                                 std::optional<Size> size, std::optional<std::string> user)
    : image(std::move(image)),
      mask(std::move(mask)),
      prompt(std::move(prompt)),
      model(std::move(model)),
      n(n),
      responseFormat(responseFormat),
      size(size),
      user(std::move(user)) {}

Bytes ImageEditsQuery::encode(const std::string& boundary) const {
  return MultipartFormDataBodyBuilder(
             boundary,
             {
                 MultipartFormDataEntry::file("image", "image.png", image, kPngType),
                 MultipartFormDataEntry::file("mask", "mask.png", mask, kPngType),
                 MultipartFormDataEntry::string("model", part(model)),
                 MultipartFormDataEntry::string("response_format", part(responseFormat)),
                 MultipartFormDataEntry::string("user", part(user)),
                 MultipartFormDataEntry::string("prompt", prompt),
                 MultipartFormDataEntry::string("n", part(n)),
                 MultipartFormDataEntry::string("size", part(size)),
             })
      .build();
}

bool ImageEditsQuery::operator==(const ImageEditsQuery& other) const {
  return std::tie(image, mask, prompt, model, n, responseFormat, size, user) ==
         std::tie(other.image, other.mask, other.prompt, other.model, other.n, other.responseFormat,
                  other.size, other.user);
}

ImageVariationsQuery::ImageVariationsQuery(Bytes image, std::optional<std::string> model,
                                           std::optional<std::int64_t> n,
                                           std::optional<ResponseFormat> responseFormat,
                                           std::optional<std::string> size,
                                           std::optional<std::string> user)
    : image(std::move(image)),
      model(std::move(model)),
      n(n),
      responseFormat(responseFormat),
      size(std::move(size)),
      user(std::move(user)) {}

Bytes ImageVariationsQuery::encode(const std::string& boundary) const {
  return MultipartFormDataBodyBuilder(
             boundary,
             {
                 MultipartFormDataEntry::file("image", "image.png", image, kPngType),
                 MultipartFormDataEntry::string("model", part(model)),
                 MultipartFormDataEntry::string("response_format", part(responseFormat)),
                 MultipartFormDataEntry::string("user", part(user)),
                 MultipartFormDataEntry::string("n", part(n)),
                 MultipartFormDataEntry::string("size", part(size)),
             })
      .build();
}

bool ImageVariationsQuery::operator==(const ImageVariationsQuery& other) const {
  return std::tie(image, model, n, responseFormat, size, user) ==
         std::tie(other.image, other.model, other.n, other.responseFormat, other.size, other.user);
}

void to_json(OrderedJson& j, const ImageEditsQuery& value) {
  j = {{"image", bytesText(value.image)}};
  platform::putOptional(j, "mask", base64Text(value.mask));
  j["prompt"] = value.prompt;
  platform::putOptional(j, "model", value.model);
  platform::putOptional(j, "n", value.n);
  platform::putOptional(j, "response_format", enumText(value.responseFormat));
  platform::putOptional(j, "size", enumText(value.size));
  platform::putOptional(j, "user", value.user);
}

void from_json(const nlohmann::json& j, ImageEditsQuery& value) {
  ImageEditsQuery query;
  query.image = requiredBytes(j, "image");
  query.mask = optionalBytes(j, "mask");
  query.prompt = requiredField<std::string>(j, "prompt");
  query.model = optionalField<std::string>(j, "model");
  query.n = optionalField<std::int64_t>(j, "n");
  query.responseFormat = optionalField<ResponseFormat>(j, "response_format");
  query.size = optionalField<Size>(j, "size");
  query.user = optionalField<std::string>(j, "user");
  value = std::move(query);
}

void to_json(OrderedJson& j, const ImageVariationsQuery& value) {
  j = {{"image", bytesText(value.image)}};
  platform::putOptional(j, "model", value.model);
  platform::putOptional(j, "n", value.n);
  platform::putOptional(j, "response_format", enumText(value.responseFormat));
  platform::putOptional(j, "size", value.size);
  platform::putOptional(j, "user", value.user);
}

void from_json(const nlohmann::json& j, ImageVariationsQuery& value) {
  ImageVariationsQuery query;
  query.image = requiredBytes(j, "image");
  query.model = optionalField<std::string>(j, "model");
  query.n = optionalField<std::int64_t>(j, "n");
  query.responseFormat = optionalField<ResponseFormat>(j, "response_format");
  query.size = optionalField<std::string>(j, "size");
  query.user = optionalField<std::string>(j, "user");
  value = std::move(query);
}

}  // namespace tessra::aiclient
