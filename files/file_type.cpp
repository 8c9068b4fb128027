#include "files/file_type.h"

#include <sys/stat.h>

#include <array>
#include <utility>

namespace tessra::files {

namespace {

constexpr std::array<std::pair<FileType, std::string_view>, 7> kRawValues{{
    {FileType::directory, "NSFileTypeDirectory"},
    {FileType::regular, "NSFileTypeRegular"},
    {FileType::symbolicLink, "NSFileTypeSymbolicLink"},
    {FileType::socket, "NSFileTypeSocket"},
    {FileType::characterSpecial, "NSFileTypeCharacterSpecial"},
    {FileType::blockSpecial, "NSFileTypeBlockSpecial"},
    {FileType::unknown, "NSFileTypeUnknown"},
}};

}  // namespace

std::string_view rawValue(FileType type) {
  for (const auto& [candidate, text] : kRawValues) {
    if (candidate == type) return text;
  }
  return "NSFileTypeUnknown";
}

std::optional<FileType> fileTypeFromRawValue(std::string_view text) {
  for (const auto& [type, candidate] : kRawValues) {
    if (candidate == text) return type;
  }
  return std::nullopt;
}

FileType fileTypeFromMode(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR:
      return FileType::directory;
    case S_IFREG:
      return FileType::regular;
    case S_IFLNK:
      return FileType::symbolicLink;
    case S_IFSOCK:
      return FileType::socket;
    case S_IFCHR:
      return FileType::characterSpecial;
    case S_IFBLK:
      return FileType::blockSpecial;
    default:
      return FileType::unknown;
  }
}

}  // namespace tessra::files
