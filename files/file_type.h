// The kind of a file-system item, as read from its own attributes (a final symbolic link is not
// followed). The raw values are the names the stored attribute dictionaries have always used, so
// texts written by older tools still parse.
#pragma once

#include <optional>
#include <string_view>

namespace tessra::files {

enum class FileType {
  directory,
  regular,
  symbolicLink,
  socket,
  characterSpecial,
  blockSpecial,
  unknown
};

std::string_view rawValue(FileType type);

// The case whose raw value equals `text` exactly; any other text gives nothing.
std::optional<FileType> fileTypeFromRawValue(std::string_view text);

// The type of a `st_mode` as `lstat` reports it. FIFOs have no case of their own: `unknown`.
FileType fileTypeFromMode(unsigned mode);

}  // namespace tessra::files
