#include "files/file_error.h"

#include <system_error>
#include <utility>

namespace tessra::files {

namespace {

std::string_view openingText(FileError::Kind kind) {
  using enum FileError::Kind;
  switch (kind) {
    case fileDoesNotExist:
      return "File does not exist at \"";
    case fileAlreadyExists:
      return "File already exists at \"";
    case changeDirectoryFail:
      return "Could not change the directory from \"";
    case createSymlinkFail:
      return "Could not create symlink from \"";
    case createHardlinkFail:
      return "Could not create a hard link from \"";
    case createFileFail:
      return "Could not create file at \"";
    case createDirectoryFail:
      return "Could not create a directory at \"";
    case deleteFileFail:
      return "Could not delete file at \"";
    case readFromFileFail:
      return "Could not read from file at \"";
    case writeToFileFail:
      return "Could not write to file at \"";
    case moveFileFail:
      return "Could not move file at \"";
    case copyFileFail:
      return "Could not copy file from \"";
    case attributesChangeFail:
      return "Could not change file attrubutes at \"";
  }
  return "";
}

std::string messageFor(FileError::Kind kind, const Path& path,
                       const std::optional<Path>& destination) {
  std::string text(openingText(kind));
  text += path.rawValue();
  if (destination) text += "\" to \"" + destination->rawValue();
  return text + "\"";
}

std::string reasonDescription(ReasonError::Kind kind, const std::string& typeName,
                              StringEncoding encoding, const std::string& text) {
  switch (kind) {
    case ReasonError::Kind::conversion:
      return "conversion(" + typeName + ")";
    case ReasonError::Kind::encoding:
      return "encoding(" + std::string(encodingName(encoding)) + ", \"" + text + "\")";
    case ReasonError::Kind::closed:
      return "closed";
  }
  return "";
}

}  // namespace

ReasonError::ReasonError(Kind kind, std::string description, std::string typeName,
                         StringEncoding encoding, std::string text)
    : Error(description),
      m_kind(kind),
      m_typeName(std::move(typeName)),
      m_encoding(encoding),
      m_text(std::move(text)) {}

ReasonError ReasonError::conversion(std::string typeName) {
  std::string description = reasonDescription(Kind::conversion, typeName, StringEncoding::utf8, "");
  return ReasonError(Kind::conversion, std::move(description), std::move(typeName),
                     StringEncoding::utf8, "");
}

ReasonError ReasonError::encoding(StringEncoding encoding, std::string text) {
  std::string description = reasonDescription(Kind::encoding, "", encoding, text);
  return ReasonError(Kind::encoding, std::move(description), "", encoding, std::move(text));
}

ReasonError ReasonError::closed() {
  return ReasonError(Kind::closed, "closed", "", StringEncoding::utf8, "");
}

FileError::FileError(Kind kind, Path path, std::optional<Path> destination, ErrorPtr error)
    : Error(messageFor(kind, path, destination)),
      m_kind(kind),
      m_path(std::move(path)),
      m_destination(std::move(destination)),
      m_error(std::move(error)) {}

FileError FileError::fileDoesNotExist(Path path) {
  return FileError(Kind::fileDoesNotExist, std::move(path), std::nullopt, nullptr);
}
FileError FileError::fileAlreadyExists(Path path) {
  return FileError(Kind::fileAlreadyExists, std::move(path), std::nullopt, nullptr);
}
FileError FileError::changeDirectoryFail(Path from, Path to, ErrorPtr error) {
  return FileError(Kind::changeDirectoryFail, std::move(from), std::move(to), std::move(error));
}
FileError FileError::createSymlinkFail(Path from, Path to, ErrorPtr error) {
  return FileError(Kind::createSymlinkFail, std::move(from), std::move(to), std::move(error));
}
FileError FileError::createHardlinkFail(Path from, Path to, ErrorPtr error) {
  return FileError(Kind::createHardlinkFail, std::move(from), std::move(to), std::move(error));
}
FileError FileError::createFileFail(Path path) {
  return FileError(Kind::createFileFail, std::move(path), std::nullopt, nullptr);
}
FileError FileError::createDirectoryFail(Path path, ErrorPtr error) {
  return FileError(Kind::createDirectoryFail, std::move(path), std::nullopt, std::move(error));
}
FileError FileError::deleteFileFail(Path path, ErrorPtr error) {
  return FileError(Kind::deleteFileFail, std::move(path), std::nullopt, std::move(error));
}
FileError FileError::readFromFileFail(Path path, ErrorPtr error) {
  return FileError(Kind::readFromFileFail, std::move(path), std::nullopt, std::move(error));
}
FileError FileError::writeToFileFail(Path path, ErrorPtr error) {
  return FileError(Kind::writeToFileFail, std::move(path), std::nullopt, std::move(error));
}
FileError FileError::moveFileFail(Path from, Path to, ErrorPtr error) {
  return FileError(Kind::moveFileFail, std::move(from), std::move(to), std::move(error));
}
FileError FileError::copyFileFail(Path from, Path to, ErrorPtr error) {
  return FileError(Kind::copyFileFail, std::move(from), std::move(to), std::move(error));
}
FileError FileError::attributesChangeFail(Path path, ErrorPtr error) {
  return FileError(Kind::attributesChangeFail, std::move(path), std::nullopt, std::move(error));
}

std::string FileError::description() const { return "FileError(" + std::string(what()) + ")"; }

std::string FileError::debugDescription() const {
  if (!m_error) return description();
  return description() + " " + debugDescribe(m_error);
}

ErrorPtr systemError(int errorNumber, const char* call) {
  return std::make_exception_ptr(std::system_error(errorNumber, std::generic_category(), call));
}

}  // namespace tessra::files
