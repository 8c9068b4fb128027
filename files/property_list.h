// Records as property-list files in the XML property-list format.
//
// A record is turned into its JSON value by its own `to_json` and that value is written as a
// property list: object -> <dict>, array -> <array>, text -> <string>, whole number -> <integer>,
// other number -> <real> ("nan", "+infinity", "-infinity" included), true/false -> <true/>
// <false/>. A JSON null has no property-list form: encoding it fails. Reading maps back the same
// way and also accepts <date> (as seconds since 2001-01-01 00:00:00 UTC, which is how records keep
// dates) and <data> (as Base64 text, which is how records keep bytes), so property lists made by
// other tools read into the same records.
//
// Arrays and dictionaries of plain values are file contents of their own through this format:
// `File<std::vector<std::string>>`, `File<std::map<std::string, int>>`.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "files/data_io.h"
#include "files/file.h"
#include "files/file_error.h"
#include "platform/foundation/error.h"
#include "platform/foundation/json.h"

namespace tessra::files {

class PropertyListEncodingError : public Error {
 public:
  using Error::Error;
};

class PropertyListDecodingError : public Error {
 public:
  using Error::Error;
};

// The XML property list of a value. Throws PropertyListEncodingError.
std::string encodePropertyList(const nlohmann::json& value);
// The value of an XML property list. Throws PropertyListDecodingError.
nlohmann::json parsePropertyList(std::string_view xml);

class PropertyListEncoder {
 public:
  template <class T>
  std::string encode(const T& value) const {
    return encodePropertyList(nlohmann::json(value));
  }
};

class PropertyListDecoder {
 public:
  // Decodes strictly, as JSON records are (an integer field rejects 3.5).
  template <class T>
  T decode(std::string_view xml) const {
    return platform::decodeValue<T>(parsePropertyList(xml));
  }
};

const PropertyListEncoder& sharedPropertyListEncoder();
const PropertyListDecoder& sharedPropertyListDecoder();

// The coding of a record stored as a property list.
template <class T>
struct PropertyListCoding {
  static T read(const Path& path) {
    const Bytes bytes = readData(path);
    try {
      return sharedPropertyListDecoder().decode<T>(toString(bytes));
    } catch (const std::exception&) {
      throw FileError::readFromFileFail(path, std::current_exception());
    }
  }

  static void write(const T& value, const Path& path, bool atomically) {
    writeEncoded(path, writingOptionsFor(atomically),
                 [&] { return sharedPropertyListEncoder().encode(value); });
  }
};

template <class T>
using PropertyListFile = File<T, PropertyListCoding<T>>;

// A collection as a property-list file. A file that is no property list of the collection's kind
// fails with the conversion reason "Array" or "Dictionary"; one whose elements are of another type
// with "Array<...>" or "Dictionary<...>".
template <class Collection>
struct PropertyListCollectionCoding {
  static Collection read(const Path& path) {
    const bool isArray = !requires { typename Collection::mapped_type; };
    const Bytes bytes = readData(path);
    nlohmann::json value;
    try {
      value = parsePropertyList(toString(bytes));
    } catch (const PropertyListDecodingError&) {
      value = nullptr;
    }
    if (isArray ? !value.is_array() : !value.is_object())
      throw FileError::readFromFileFail(
          path, std::make_exception_ptr(ReasonError::conversion(isArray ? "Array" : "Dictionary")));
    try {
      return platform::decodeValue<Collection>(value);
    } catch (const platform::JsonDecodingError&) {
      throw FileError::readFromFileFail(
          path,
          std::make_exception_ptr(ReasonError::conversion(ContentTypeName<Collection>::name())));
    }
  }

  static void write(const Collection& value, const Path& path, bool atomically) {
    PropertyListCoding<Collection>::write(value, path, atomically);
  }
};

template <class T>
struct ContentTypeName<std::vector<T>> {
  static std::string name() { return "Array<" + ContentTypeName<T>::name() + ">"; }
};
template <class T>
struct ContentTypeName<std::map<std::string, T>> {
  static std::string name() { return "Dictionary<String, " + ContentTypeName<T>::name() + ">"; }
};
template <>
struct ContentTypeName<bool> {
  static std::string name() { return "Bool"; }
};
template <>
struct ContentTypeName<int> {
  static std::string name() { return "Int"; }
};
template <>
struct ContentTypeName<std::int64_t> {
  static std::string name() { return "Int64"; }
};
template <>
struct ContentTypeName<double> {
  static std::string name() { return "Double"; }
};

template <class T>
struct FileCoding<std::vector<T>> : PropertyListCollectionCoding<std::vector<T>> {};
template <class T>
struct FileCoding<std::map<std::string, T>>
    : PropertyListCollectionCoding<std::map<std::string, T>> {};

}  // namespace tessra::files
