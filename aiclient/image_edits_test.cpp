#include "aiclient/image_edits.h"

#include <gtest/gtest.h>

#include <string>

#include "aiclient/json_test_support.h"
#include "aiclient/model.h"

namespace tessra::aiclient {
namespace {

using namespace testing;
using Kind = JsonDecodingError::Kind;
using Format = ImagesQuery::ResponseFormat;
using Size = ImagesQuery::Size;

std::string body(const MultipartFormDataBodyEncodable& query) {
  return toString(query.encode("XYZ"));
}

std::string pngPart(std::string_view name, std::string_view data) {
  return "--XYZ\r\nContent-Disposition: form-data; name=\"" + std::string(name) +
         "\"; filename=\"" + std::string(name) + ".png\"\r\nContent-Type: image/png\r\n\r\n" +
         std::string(data) + "\r\n";
}

std::string textPart(std::string_view name, std::string_view value) {
  return "--XYZ\r\nContent-Disposition: form-data; name=\"" + std::string(name) + "\"\r\n\r\n" +
         std::string(value) + "\r\n";
}

TEST(ImageEditsQueryForm, ImageAndPromptOnly) {
  EXPECT_EQ(body(ImageEditsQuery(toBytes("\x89PNG"), "Add a hat")),
            "--XYZ\r\n"
            "Content-Disposition: form-data; name=\"image\"; filename=\"image.png\"\r\n"
            "Content-Type: image/png\r\n"
            "\r\n"
            "\x89PNG\r\n"
            "--XYZ\r\n"
            "Content-Disposition: form-data; name=\"prompt\"\r\n"
            "\r\n"
            "Add a hat\r\n"
            "--XYZ--\r\n");
}

TEST(ImageEditsQueryForm, EveryPartInItsPlace) {
  const ImageEditsQuery query(toBytes("IMG"), "A \"red\" balloon", toBytes("MASK"), Model::dall_e_2,
                              2, Format::b64_json, Size::_1792_1024, "user-7");
  EXPECT_EQ(body(query), pngPart("image", "IMG") + pngPart("mask", "MASK") +
                             textPart("model", "dall-e-2") +
                             textPart("response_format", "b64_json") + textPart("user", "user-7") +
                             // Quotes in a value are content, not header: they stay.
                             textPart("prompt", "A \"red\" balloon") + textPart("n", "2") +
                             textPart("size", "1792x1024") + "--XYZ--\r\n");
}

TEST(ImageVariationsQueryForm, PartsInTheirOrder) {
  EXPECT_EQ(body(ImageVariationsQuery(toBytes("IMG"))), pngPart("image", "IMG") + "--XYZ--\r\n");
  const ImageVariationsQuery query(toBytes("IMG"), Model::dall_e_2, 3, Format::url, "256x256", "u");
  EXPECT_EQ(body(query), pngPart("image", "IMG") + textPart("model", "dall-e-2") +
                             textPart("response_format", "url") + textPart("user", "u") +
                             textPart("n", "3") + textPart("size", "256x256") + "--XYZ--\r\n");
  ImageVariationsQuery b64(toBytes("I"));
  b64.responseFormat = Format::b64_json;
  EXPECT_EQ(body(b64),
            pngPart("image", "I") + textPart("response_format", "b64_json") + "--XYZ--\r\n");
}

TEST(ImageEditsQueryWire, JsonFormWithPicturesAsBase64) {
  const ImageEditsQuery full(toBytes("IMG"), "p", toBytes("M"), "dall-e-2", 1, Format::url,
                             Size::_256, "u");
  EXPECT_EQ(orderedWire(full),
            R"({"image":"SU1H","mask":"TQ==","prompt":"p","model":"dall-e-2","n":1,)"
            R"("response_format":"url","size":"256x256","user":"u"})");
  EXPECT_EQ(decode<ImageEditsQuery>(orderedWire(full)), full);
  EXPECT_EQ(orderedWire(ImageEditsQuery(toBytes("IMG"), "p")), R"({"image":"SU1H","prompt":"p"})");
  EXPECT_EQ(decode<ImageEditsQuery>(R"({"image":"SU1H","prompt":"p","mask":null,"n":null})"),
            ImageEditsQuery(toBytes("IMG"), "p"));
  expectDecodingErrors<ImageEditsQuery>({
      {R"({"image":"SU1H"})", "prompt", Kind::keyNotFound},
      {R"({"prompt":"p"})", "image", Kind::keyNotFound},
      {R"({"image":"SU1H","prompt":"p","size":"100x100"})", "size", Kind::dataCorrupted},
      {R"({"image":"SU1H","prompt":"p","mask":"%%"})", "mask", Kind::dataCorrupted},
  });

  EXPECT_EQ(orderedWire(ImageVariationsQuery(toBytes("IMG"))), R"({"image":"SU1H"})");
  const ImageVariationsQuery variation(toBytes("IMG"), "m", 2, Format::b64_json, "9x9", "u");
  EXPECT_EQ(orderedWire(variation),
            R"({"image":"SU1H","model":"m","n":2,"response_format":"b64_json","size":"9x9",)"
            R"("user":"u"})");
  EXPECT_EQ(decode<ImageVariationsQuery>(orderedWire(variation)), variation);
  expectDecodingErrors<ImageVariationsQuery>({
      {R"({"model":"m"})", "image", Kind::keyNotFound},
      {R"({"image":"SU1H","response_format":"png"})", "response_format", Kind::dataCorrupted},
  });
}

}  // namespace
}  // namespace tessra::aiclient
