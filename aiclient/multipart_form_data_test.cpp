#include "aiclient/multipart_form_data.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/foundation/uuid.h"

namespace tessra::aiclient {
namespace {

using Entry = MultipartFormDataEntry;

std::string body(std::string boundary, std::vector<Entry> entries) {
  return toString(MultipartFormDataBodyBuilder(std::move(boundary), std::move(entries)).build());
}

TEST(MultipartFormDataBody, EntriesWithNothingToSendLeaveOnlyTheClosingLine) {
  EXPECT_EQ(body("B", {}), "--B--\r\n");
  EXPECT_EQ(body("B",
                 {
                     Entry::file("image", std::nullopt, Bytes{1, 2}, "image/png"),
                     Entry::file("image", "image.png", std::nullopt, "image/png"),
                     Entry::string("user", std::nullopt),
                     Entry::string("n", std::optional<std::int64_t>()),
                 }),
            "--B--\r\n");
}

TEST(MultipartFormDataBody, LaysOutEveryPartByteForByte) {
  const Bytes data = {'P', 'N', 'G', 0x00, '\r', '\n', 0xFF};
  const std::string expected =
      "--X1\r\n"
      "Content-Disposition: form-data; name=\"image\"; filename=\"image.png\"\r\n"
      "Content-Type: image/png\r\n"
      "\r\n" +
      std::string("PNG\0\r\n\xFF", 7) +
      "\r\n"
      "--X1\r\n"
      "Content-Disposition: form-data; name=\"prompt\"\r\n"
      "\r\n"
      "a cat, \"quoted\"\r\n"
      "--X1\r\n"
      "Content-Disposition: form-data; name=\"n\"\r\n"
      "\r\n"
      "2\r\n"
      "--X1\r\n"
      "Content-Disposition: form-data; name=\"temperature\"\r\n"
      "\r\n"
      "0.5\r\n"
      "--X1--\r\n";
  EXPECT_EQ(body("X1",
                 {
                     Entry::file("image", "image.png", data, "image/png"),
                     Entry::file("mask", "mask.png", std::nullopt, "image/png"),
                     Entry::string("prompt", "a cat, \"quoted\""),
                     Entry::string("n", 2),
                     Entry::string("user", std::optional<std::string>()),
                     Entry::string("temperature", 0.5),
                 }),
            expected);
}

TEST(MultipartFormDataBody, HeaderValuesCannotInjectHeaders) {
  const auto text = body("B", {
                                  Entry::file("f\"ile\r\nX-Evil: 1", "a\".png\r\n\r\n--B",
                                              Bytes{'x'}, "image/png\r\nX-Evil: 2"),
                                  Entry::string("na\"me\nX-Evil: 3", "v"),
                              });
  EXPECT_EQ(text,
            "--B\r\n"
            "Content-Disposition: form-data; name=\"f%22ile%0D%0AX-Evil: 1\"; "
            "filename=\"a%22.png%0D%0A%0D%0A--B\"\r\n"
            "Content-Type: image/png%0D%0AX-Evil: 2\r\n"
            "\r\n"
            "x\r\n"
            "--B\r\n"
            "Content-Disposition: form-data; name=\"na%22me%0AX-Evil: 3\"\r\n"
            "\r\n"
            "v\r\n"
            "--B--\r\n");
}

TEST(MultipartFormDataValue, NumbersTakeTheirShortestText) {
  const std::vector<std::pair<MultipartFormDataValue, std::string>> cases = {
      {0.5, "0.5"},
      {1.0, "1.0"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {0.2, "0.2"},
      {-2.5, "-2.5"},
      {0.1 + 0.2, "0.30000000000000004"},
      {123.456, "123.456"},
      {100000.0, "100000.0"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {1.5e-7, "1.5e-07"},
      {1e16, "10000000000000000.0"},
      {1e17, "1e+17"},
      {1e300, "1e+300"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
      {2, "2"},
      {-7, "-7"},
      {std::int64_t{9007199254740993}, "9007199254740993"},
      // A flag is a word, not the number it would convert to.
      {true, "true"},
      {false, "false"},
      {"text / unchanged", "text / unchanged"},
      {std::string(), ""},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(value.text(), expected);
}

class EchoQuery : public MultipartFormDataBodyEncodable {
 public:
  Bytes encode(const std::string& boundary) const override {
    return MultipartFormDataBodyBuilder(boundary, {Entry::string("model", "whisper-1")}).build();
  }
};

TEST(MultipartFormData, EveryRequestGetsItsOwnBoundaryUsedEverywhere) {
  const EchoQuery query;
  const auto first = makeMultipartFormData(query);
  const auto second = makeMultipartFormData(query);
  EXPECT_NE(first.boundary, second.boundary);
  for (const auto& form : {first, second}) {
    EXPECT_EQ(platform::canonicalUuidString(form.boundary), form.boundary);
    EXPECT_EQ(form.contentType, "multipart/form-data; boundary=" + form.boundary);
    EXPECT_EQ(toString(form.body),
              "--" + form.boundary +
                  "\r\nContent-Disposition: form-data; name=\"model\"\r\n\r\nwhisper-1\r\n--" +
                  form.boundary + "--\r\n");
  }
}

}  // namespace
}  // namespace tessra::aiclient
