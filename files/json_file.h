// Records as JSON files: one record, one compact JSON document, written through the shared JSON
// rules of platform/foundation/json.h (dates as seconds since 2001, "/" as "\/", no fraction on
// integral numbers, a non-finite number fails, invalid UTF-8 becomes U+FFFD).
//
//   JsonFile<ChatSession> file(storage + "welcome.json");
//   file.write(session);            // atomic; the old file stays whole when encoding fails
//   ChatSession back = file.read(); // FileError::readFromFileFail on any failure
//
// A record takes part through its free `to_json`/`from_json`. `sharedJsonEncoder()` and
// `sharedJsonDecoder()` are the process-wide coders every record file uses; they hold no
// settings, so they are safe to use from any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "files/data_io.h"
#include "files/file.h"
#include "files/file_error.h"
#include "platform/foundation/json.h"

namespace tessra::files {

class JsonEncoder {
 public:
  // The JSON text of a record. Throws platform::JsonEncodingError or the record's own error.
  template <class T>
  std::string encode(const T& value) const {
    return platform::encodeJson(nlohmann::json(value));
  }
  // Writes the record to a file, atomically. Throws FileError::writeToFileFail.
  template <class T>
  void encode(const T& value, const Path& path) const;
};

class JsonDecoder {
 public:
  // Decodes a record strictly. Throws platform::JsonDecodingError.
  template <class T>
  T decode(std::string_view text) const {
    return platform::decodeJson<T>(text);
  }
  // Reads a record from a file. Throws FileError::readFromFileFail.
  template <class T>
  T decode(const Path& path) const;
};

const JsonEncoder& sharedJsonEncoder();
const JsonDecoder& sharedJsonDecoder();

// The coding of a record stored as JSON.
template <class T>
struct JsonCoding {
  static T read(const Path& path) { return sharedJsonDecoder().decode<T>(path); }

  static void write(const T& value, const Path& path, bool atomically) {
    writeEncoded(path, writingOptionsFor(atomically),
                 [&] { return sharedJsonEncoder().encode(value); });
  }
};

template <class T>
using JsonFile = File<T, JsonCoding<T>>;

template <class T>
void JsonEncoder::encode(const T& value, const Path& path) const {
  writeEncoded(path, DataWritingOptions::atomic, [&] { return encode(value); });
}

template <class T>
T JsonDecoder::decode(const Path& path) const {
  const Bytes bytes = readData(path);
  try {
    return decode<T>(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const std::exception&) {
    throw FileError::readFromFileFail(path, std::current_exception());
  }
}

}  // namespace tessra::files
