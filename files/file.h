// A typed file: one path bound to one content type, read and written whole.
//
//   File<Bytes> data(Path("/tmp/a"));          // raw bytes
//   File<std::string> text(Path("notes.txt"));  // UTF-8 text
//   JsonFile<ConversationList> list(path);      // a record as one JSON document (json_file.h)
//
// How a content type reads itself from a path and writes itself to one is its coding: a type with
// `static T read(const Path&)` and `static void write(const T&, const Path&, bool atomically)`.
// `FileCoding<T>` is the coding a content type has of its own (bytes, text, and through
// files/property_list.h arrays and dictionaries); a record chooses its format by the coding it is
// filed with (`JsonFile<T>`, `PropertyListFile<T>`). Writes are atomic unless asked otherwise
// (files/data_io.h). Every failure is a FileError naming the path. A file object is used from one
// thread at a time.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "files/data_io.h"
#include "files/file_error.h"
#include "files/path.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/utf8.h"

namespace tessra::files {

// Encodes first and writes after: a value that cannot be encoded fails as a write failure and
// leaves an existing file as it was.
template <class Encode>
void writeEncoded(const Path& path, DataWritingOptions options, Encode&& encode) {
  std::string text;
  try {
    text = std::forward<Encode>(encode)();
  } catch (const std::exception&) {
    throw FileError::writeToFileFail(path, std::current_exception());
  }
  writeData(path, toBytes(text), options);
}

inline DataWritingOptions writingOptionsFor(bool atomically) {
  return atomically ? DataWritingOptions::atomic : DataWritingOptions::none;
}

// The coding a content type has of its own; specialised per type.
template <class T>
struct FileCoding;

template <class Coding, class T>
concept ContentCoding = requires(const T& value, const Path& path, bool atomically) {
  { Coding::read(path) } -> std::same_as<T>;
  Coding::write(value, path, atomically);
};

// The name a content type goes by in descriptions and errors.
template <class T>
struct ContentTypeName {
  static std::string name() { return "Value"; }
};
template <>
struct ContentTypeName<Bytes> {
  static std::string name() { return "Data"; }
};
template <>
struct ContentTypeName<std::string> {
  static std::string name() { return "String"; }
};

template <>
struct FileCoding<Bytes> {
  static Bytes read(const Path& path) { return readData(path); }
  static void write(const Bytes& bytes, const Path& path, bool atomically) {
    writeData(path, bytes, writingOptionsFor(atomically));
  }
};

// UTF-8 text. Bytes that are not UTF-8 fail to read with a conversion reason; invalid UTF-8 in a
// string is written as U+FFFD.
template <>
struct FileCoding<std::string> {
  static std::string read(const Path& path) {
    const Bytes bytes = readData(path);
    std::string text = toString(bytes);
    if (!platform::isValidUtf8(text))
      throw FileError::readFromFileFail(path,
                                        std::make_exception_ptr(ReasonError::conversion("String")));
    return text;
  }
  static void write(const std::string& text, const Path& path, bool atomically) {
    const std::string clean = platform::sanitizeUtf8(text);
    writeData(path, toBytes(clean), writingOptionsFor(atomically));
  }
};

template <class DataType, class Coding = FileCoding<DataType>>
requires ContentCoding<Coding, DataType>
class File {
 public:
  explicit File(Path path) : m_path(std::move(path)) {}
  virtual ~File() = default;
  File(const File&) = default;
  File& operator=(const File&) = default;

  const Path& path() const { return m_path; }
  void setPath(Path path) { m_path = std::move(path); }

  // The last component of the absolute path.
  std::string name() const {
    const auto parts = m_path.absolute().components();
    return parts.empty() ? std::string() : parts.back().rawValue();
  }
  std::string nameWithoutExtension() const { return m_path.fileNameWithoutExtension(); }
  std::string pathExtension() const { return m_path.pathExtension(); }
  void setPathExtension(std::string_view extension) { m_path.setPathExtension(extension); }

  // True only for a regular file: not for a directory, nor for a symbolic link to a file.
  bool exists() const { return m_path.fileType() == FileType::regular; }
  std::optional<std::uint64_t> size() const { return m_path.fileSize(); }
  std::optional<FileType> type() const { return m_path.fileType(); }
  FilePermissions permissions() const { return m_path.filePermissions(); }

  virtual DataType read() const { return Coding::read(m_path); }
  void write(const DataType& value) { write(value, true); }
  virtual void write(const DataType& value, bool atomically) {
    Coding::write(value, m_path, atomically);
  }

  void create() const { m_path.createFile(); }
  void deleteFile() const { m_path.deleteFile(); }
  // The file follows the item only when the move succeeds.
  void move(const Path& destination) {
    m_path.moveFile(destination);
    m_path = destination;
  }
  void copy(const Path& destination) const { m_path.copyFile(destination); }
  void symlink(const Path& destination) const { m_path.symlinkFile(destination); }
  void hardlink(const Path& destination) const { m_path.hardLinkFile(destination); }
  void moveReplacing(const Path& destination) {
    m_path.moveFileReplacing(destination);
    m_path = destination;
  }
  void copyReplacing(const Path& destination) const { m_path.copyFileReplacing(destination); }
  void symlinkReplacing(const Path& destination) const { m_path.symlinkFileReplacing(destination); }

  std::optional<FileHandle> handleForReading() const { return m_path.fileHandleForReading(); }
  std::optional<FileHandle> handleForWriting() const { return m_path.fileHandleForWriting(); }
  std::optional<FileHandle> handleForUpdating() const { return m_path.fileHandleForUpdating(); }
  std::optional<std::ifstream> inputStream() const { return m_path.inputStream(); }
  std::optional<std::ofstream> outputStream(bool append) const {
    return m_path.outputStream(append);
  }

  // File<Data>('/tmp/a')
  std::string description() const {
    return "File<" + ContentTypeName<DataType>::name() + ">('" + m_path.rawValue() + "')";
  }

  friend bool operator==(const File& a, const File& b) { return a.m_path == b.m_path; }
  // By size; a file whose size cannot be read orders first.
  friend bool operator<(const File& a, const File& b) {
    const auto sa = a.size();
    const auto sb = b.size();
    if (!sa) return sb.has_value();
    if (!sb) return false;
    return *sa < *sb;
  }
  friend bool operator>(const File& a, const File& b) { return b < a; }
  friend bool operator<=(const File& a, const File& b) { return !(b < a); }
  friend bool operator>=(const File& a, const File& b) { return !(a < b); }

 private:
  Path m_path;
};

// A file of bytes that can also be read and written with explicit options.
class DataFile : public File<Bytes> {
 public:
  using File<Bytes>::File;
  using File<Bytes>::read;
  using File<Bytes>::write;

  virtual Bytes read(DataReadingOptions options) const { return readData(path(), options); }
  virtual void write(const Bytes& bytes, DataWritingOptions options) {
    writeData(path(), bytes, options);
  }
};

// A data file whose reads and writes always use its own options. When `writingOptions` is set it
// replaces the atomically flag of every write.
class DataFileWithOptions : public DataFile {
 public:
  DataFileWithOptions(Path path, DataReadingOptions readingOptions = DataReadingOptions::none,
                      std::optional<DataWritingOptions> writingOptions = std::nullopt)
      : DataFile(std::move(path)),
        m_readingOptions(readingOptions),
        m_writingOptions(writingOptions) {}

  DataReadingOptions readingOptions() const { return m_readingOptions; }
  std::optional<DataWritingOptions> writingOptions() const { return m_writingOptions; }

  using DataFile::read;
  using DataFile::write;
  Bytes read() const override { return DataFile::read(m_readingOptions); }
  void write(const Bytes& bytes, bool atomically) override {
    if (m_writingOptions) {
      DataFile::write(bytes, *m_writingOptions);
      return;
    }
    DataFile::write(bytes, writingOptionsFor(atomically));
  }

 private:
  DataReadingOptions m_readingOptions;
  std::optional<DataWritingOptions> m_writingOptions;
};

}  // namespace tessra::files
