// Multipart form-data bodies, for the uploads (image edits and variations, audio transcription
// and translation) that send files instead of JSON.
//
// A query lists its parts as `MultipartFormDataEntry` values and hands them, with the boundary
// the request chose, to `MultipartFormDataBodyBuilder`:
//
//   Bytes AudioTranscriptionQuery::encode(const std::string& boundary) const {
//     return MultipartFormDataBodyBuilder(boundary, {
//         MultipartFormDataEntry::file("file", "speech.mp3", file, "audio/mp3"),
//         MultipartFormDataEntry::string("model", model),
//         MultipartFormDataEntry::string("temperature", temperature),  // optional<double>
//     }).build();
//   }
//
// An entry without its file name, its file data or its value contributes nothing. Names and
// file names are written between double quotes with `"`, CR and LF percent-encoded (%22, %0D,
// %0A), and CR and LF in a content type likewise, so that no field can end its header line and
// inject another header or part.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/base64.h"

namespace tessra::aiclient {

// The value of a text part, written in its plain textual form: a text unchanged, an integer in
// decimal digits, a floating-point number as the shortest digits that read back as the same
// value, with ".0" for whole numbers and exponent form below 1e-4 and above 2^54 (1e-05); a
// flag as "true" or "false".
class MultipartFormDataValue {
 public:
  MultipartFormDataValue(std::string text) : m_value(std::move(text)) {}
  MultipartFormDataValue(const char* text) : m_value(std::string(text)) {}
  // Without this a flag would convert to the number 1.0 and be sent as such.
  MultipartFormDataValue(bool flag) : m_value(std::string(flag ? "true" : "false")) {}
  template <std::integral T>
  requires(!std::same_as<T, bool>) MultipartFormDataValue(T number)
      : m_value(static_cast<std::int64_t>(number)) {}
  MultipartFormDataValue(double number) : m_value(number) {}

  std::string text() const;

  bool operator==(const MultipartFormDataValue&) const = default;

 private:
  std::variant<std::string, std::int64_t, double> m_value{};
};

// One part of a body: a file, or a named text value.
class MultipartFormDataEntry {
 public:
  struct File {
    std::string paramName;
    std::optional<std::string> fileName;
    std::optional<Bytes> fileData;
    std::string contentType;

    bool operator==(const File&) const = default;
  };

  struct String {
    std::string paramName;
    std::optional<MultipartFormDataValue> value;

    bool operator==(const String&) const = default;
  };

  static MultipartFormDataEntry file(std::string paramName, std::optional<std::string> fileName,
                                     std::optional<Bytes> fileData, std::string contentType);
  static MultipartFormDataEntry string(std::string paramName,
                                       std::optional<MultipartFormDataValue> value);

  MultipartFormDataEntry(File file) : value(std::move(file)) {}
  MultipartFormDataEntry(String text) : value(std::move(text)) {}

  // What this entry adds to a body with `boundary`; empty when it has nothing to send.
  Bytes bytes(std::string_view boundary) const;

  std::variant<File, String> value{};

  bool operator==(const MultipartFormDataEntry&) const = default;
};

// Lays out a whole body: every entry in order, then the closing line "--<boundary>--" CR LF.
class MultipartFormDataBodyBuilder {
 public:
  MultipartFormDataBodyBuilder(std::string boundary, std::vector<MultipartFormDataEntry> entries);

  const std::string& boundary() const { return m_boundary; }
  const std::vector<MultipartFormDataEntry>& entries() const { return m_entries; }

  Bytes build() const;

 private:
  std::string m_boundary{};
  std::vector<MultipartFormDataEntry> m_entries{};
};

// A query that is sent as a multipart body.
class MultipartFormDataBodyEncodable {
 public:
  virtual ~MultipartFormDataBodyEncodable() = default;

  // The complete body laid out with `boundary`.
  virtual Bytes encode(const std::string& boundary) const = 0;
};

// What a multipart request carries: a fresh boundary, the "Content-Type" value that names it and
// the body laid out with that same boundary.
struct MultipartFormData {
  std::string boundary{};
  std::string contentType{};
  Bytes body{};
};

// Makes a new boundary (a fresh upper-case UUID text) for every call and encodes the query with
// it. Never fails.
MultipartFormData makeMultipartFormData(const MultipartFormDataBodyEncodable& query);

}  // namespace tessra::aiclient
