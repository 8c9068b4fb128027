// Opening and reading the program's own files, which are only ever regular files.
//
// Something else may stand at such a path: a named pipe, whose opening waits for a writer that
// may never come, a device that answers reads without end, a folder. Each is refused at once as
// unreadable, never waited on, so that a reader that meets one treats it as it treats any file it
// cannot read. A symbolic link is followed (the program's writes keep the user's links) and what
// it leads to is judged.
//
//   try {
//     const std::string text = platform::readRegularFile(configDirectory() / "defaults.json");
//   } catch (const std::system_error& failure) {
//     ... failure.code() is the system's error, or notRegularFileError() for a pipe or a device
//   }
#pragma once

#include <fcntl.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/foundation/unique_fd.h"

namespace tessra::platform {

// The error of a path that holds something other than a regular file or a folder: "Not a
// regular file".
std::error_code notRegularFileError();

// Opens the regular file at `file` with `accessMode` (O_RDONLY, O_WRONLY or O_RDWR) and
// close-on-exec. Throws std::system_error: the system's error ("open"; EISDIR for a folder), or
// notRegularFileError().
UniqueFd openRegularFile(const std::filesystem::path& file, int accessMode = O_RDONLY);

// The whole content of the regular file at `file`. Throws std::system_error, as openRegularFile
// does or with the error of the read ("read").
std::string readRegularFile(const std::filesystem::path& file);

}  // namespace tessra::platform
