// Reading and writing a whole file as bytes: the one place where file content reaches the disk.
//
// An atomic write puts the bytes into a temporary file in the same folder, flushes it to the disk
// and renames it over the target, so a reader sees the whole old or the whole new content and a
// failure leaves the old file untouched. A new file is made with mode 0600 (the program's data
// is the user's alone); a replaced file keeps its mode. When the target is a symbolic link, the
// file it points to is replaced and the link stays.
#pragma once

#include <cstdint>
#include <span>

#include "files/path.h"
#include "platform/foundation/base64.h"

namespace tessra::files {

enum class DataReadingOptions : std::uint64_t {
  none = 0,
  // Drop the file's pages from the page cache after reading: for data read once.
  uncached = 2,
};

enum class DataWritingOptions : std::uint64_t {
  none = 0,
  atomic = 1,
  // Fail when something already stands at the path.
  withoutOverwriting = 2,
};

constexpr DataWritingOptions operator|(DataWritingOptions a, DataWritingOptions b) {
  return static_cast<DataWritingOptions>(static_cast<std::uint64_t>(a) |
                                         static_cast<std::uint64_t>(b));
}
constexpr bool contains(DataWritingOptions set, DataWritingOptions option) {
  return (static_cast<std::uint64_t>(set) & static_cast<std::uint64_t>(option)) != 0;
}

// The whole content of the regular file at `path`. Throws FileError::readFromFileFail(path,
// system error); anything else at the path (a named pipe, a device, a folder) fails so at once,
// never waited on (FileHandle::open).
Bytes readData(const Path& path, DataReadingOptions options = DataReadingOptions::none);

// Replaces the whole content. Throws FileError::writeToFileFail(path, system error).
void writeData(const Path& path, std::span<const std::uint8_t> bytes, DataWritingOptions options);

}  // namespace tessra::files
