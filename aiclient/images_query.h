// The body of an image-generation request, posted as JSON to "/v1/images/generations".
//
//   ImagesQuery query{.prompt = "a lighthouse at dusk", .model = Model::dall_e_3,
//                     .responseFormat = ImagesQuery::ResponseFormat::url, .n = 1,
//                     .size = ImagesQuery::Size::_1024};
//
// The values travel as they are set: nothing checks them against each other or against what a
// model accepts. `ResponseFormat` and `Size` are also those of the image-edit and image-variation
// requests.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "aiclient/raw_value.h"

namespace tessra::aiclient {

struct ImagesQuery {
  enum class ResponseFormat { url, b64_json };
  enum class Size { _256, _512, _1024, _1792_1024, _1024_1792 };
  enum class Style { natural, vivid };
  enum class Quality { standard, hd };

  // The description of the image wanted.
  std::string prompt{};
  // A model identifier such as "dall-e-3".
  std::optional<std::string> model{};
  std::optional<ResponseFormat> responseFormat{};
  // How many images are asked for.
  std::optional<std::int64_t> n{};
  std::optional<Size> size{};
  std::optional<std::string> user{};
  std::optional<Style> style{};
  std::optional<Quality> quality{};

  bool operator==(const ImagesQuery&) const = default;
};

template <>
struct RawValues<ImagesQuery::ResponseFormat> {
  static constexpr std::string_view typeName = "ResponseFormat";
  static constexpr std::array table{
      std::pair{ImagesQuery::ResponseFormat::url, std::string_view("url")},
      std::pair{ImagesQuery::ResponseFormat::b64_json, std::string_view("b64_json")},
  };
};

template <>
struct RawValues<ImagesQuery::Size> {
  static constexpr std::string_view typeName = "Size";
  static constexpr std::array table{
      std::pair{ImagesQuery::Size::_256, std::string_view("256x256")},
      std::pair{ImagesQuery::Size::_512, std::string_view("512x512")},
      std::pair{ImagesQuery::Size::_1024, std::string_view("1024x1024")},
      std::pair{ImagesQuery::Size::_1792_1024, std::string_view("1792x1024")},
      std::pair{ImagesQuery::Size::_1024_1792, std::string_view("1024x1792")},
  };
};

template <>
struct RawValues<ImagesQuery::Style> {
  static constexpr std::string_view typeName = "Style";
  static constexpr std::array table{
      std::pair{ImagesQuery::Style::natural, std::string_view("natural")},
      std::pair{ImagesQuery::Style::vivid, std::string_view("vivid")},
  };
};

template <>
struct RawValues<ImagesQuery::Quality> {
  static constexpr std::string_view typeName = "Quality";
  static constexpr std::array table{
      std::pair{ImagesQuery::Quality::standard, std::string_view("standard")},
      std::pair{ImagesQuery::Quality::hd, std::string_view("hd")},
  };
};

void to_json(nlohmann::json& j, const ImagesQuery::ResponseFormat& value);
void from_json(const nlohmann::json& j, ImagesQuery::ResponseFormat& value);
void to_json(nlohmann::json& j, const ImagesQuery::Size& value);
void from_json(const nlohmann::json& j, ImagesQuery::Size& value);
void to_json(nlohmann::json& j, const ImagesQuery::Style& value);
void from_json(const nlohmann::json& j, ImagesQuery::Style& value);
void to_json(nlohmann::json& j, const ImagesQuery::Quality& value);
void from_json(const nlohmann::json& j, ImagesQuery::Quality& value);
void to_json(nlohmann::json& j, const ImagesQuery& value);
void from_json(const nlohmann::json& j, ImagesQuery& value);

}  // namespace tessra::aiclient
