// The one error every file operation of this library reports.
//
// Each case names the operation that failed and carries the path or paths as the caller gave
// them and, where there is one, the underlying error (a `std::system_error` with the errno of the
// failed call, a `ReasonError`, or the coder's error for records). `what()` is the message:
//
//   Could not move file at "a" to "b"
//
// `description()` wraps it as FileError(...); `debugDescription()` adds the underlying error.
#pragma once

#include <optional>
#include <string>

#include "files/path.h"
#include "files/string_encoding.h"
#include "platform/foundation/error.h"

namespace tessra::files {

// The underlying error where the system gave none.
class ReasonError : public Error {
 public:
  enum class Kind { conversion, encoding, closed };

  // The data could not be converted to, or the value could not be written as, `typeName`.
  static ReasonError conversion(std::string typeName);
  // `text` could not be written in `encoding`.
  static ReasonError encoding(StringEncoding encoding, std::string text);
  // The stream to the file was already closed.
  static ReasonError closed();

  Kind kind() const { return m_kind; }
  const std::string& typeName() const { return m_typeName; }
  StringEncoding stringEncoding() const { return m_encoding; }
  const std::string& text() const { return m_text; }

 private:
  ReasonError(Kind kind, std::string description, std::string typeName, StringEncoding encoding,
              std::string text);

  Kind m_kind;
  std::string m_typeName;
  StringEncoding m_encoding = StringEncoding::utf8;
  std::string m_text;
};

class FileError : public Error {
 public:
  enum class Kind {
    fileDoesNotExist,
    fileAlreadyExists,
    changeDirectoryFail,
    createSymlinkFail,
    createHardlinkFail,
    createFileFail,
    createDirectoryFail,
    deleteFileFail,
    readFromFileFail,
    writeToFileFail,
    moveFileFail,
    copyFileFail,
    attributesChangeFail,
  };

  static FileError fileDoesNotExist(Path path);
  static FileError fileAlreadyExists(Path path);
  static FileError changeDirectoryFail(Path from, Path to, ErrorPtr error);
  static FileError createSymlinkFail(Path from, Path to, ErrorPtr error);
  static FileError createHardlinkFail(Path from, Path to, ErrorPtr error);
  static FileError createFileFail(Path path);
  static FileError createDirectoryFail(Path path, ErrorPtr error);
  static FileError deleteFileFail(Path path, ErrorPtr error);
  static FileError readFromFileFail(Path path, ErrorPtr error);
  static FileError writeToFileFail(Path path, ErrorPtr error);
  static FileError moveFileFail(Path from, Path to, ErrorPtr error);
  static FileError copyFileFail(Path from, Path to, ErrorPtr error);
  static FileError attributesChangeFail(Path path, ErrorPtr error);

  Kind kind() const { return m_kind; }
  const Path& path() const { return m_path; }
  // The second path of the cases that carry two.
  const std::optional<Path>& destination() const { return m_destination; }
  // The underlying error; null for fileDoesNotExist, fileAlreadyExists and createFileFail.
  const ErrorPtr& error() const { return m_error; }

  // The same text as what().
  std::string message() const { return what(); }
  // FileError(<message>)
  std::string description() const;
  // The description, then one space and the underlying error's own text when there is one.
  std::string debugDescription() const override;

 private:
  FileError(Kind kind, Path path, std::optional<Path> destination, ErrorPtr error);

  Kind m_kind;
  Path m_path;
  std::optional<Path> m_destination;
  ErrorPtr m_error;
};

// The underlying error of a failed system call: a std::system_error with `errorNumber`.
ErrorPtr systemError(int errorNumber, const char* call);

}  // namespace tessra::files
