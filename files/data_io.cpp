#include "files/data_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "files/file_error.h"
#include "files/file_handle.h"
#include "platform/foundation/atomic_file.h"

namespace tessra::files {

namespace {

void writeInPlace(const std::string& text, std::span<const std::uint8_t> bytes,
                  bool withoutOverwriting) {
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (withoutOverwriting ? O_EXCL : 0);
  FileHandle handle(::open(text.c_str(), flags, 0600));
  if (!handle.isOpen()) throw std::system_error(errno, std::generic_category(), "open");
  handle.write(bytes);
}

}  // namespace

Bytes readData(const Path& path, DataReadingOptions options) {
  try {
    FileHandle handle = FileHandle::open(path.systemText(), FileHandle::Mode::read);
    Bytes bytes = handle.readToEnd();
    if (options == DataReadingOptions::uncached)
      ::posix_fadvise(handle.fileDescriptor(), 0, 0, POSIX_FADV_DONTNEED);
    return bytes;
  } catch (const std::system_error&) {
    throw FileError::readFromFileFail(path, std::current_exception());
  }
}

void writeData(const Path& path, std::span<const std::uint8_t> bytes, DataWritingOptions options) {
  const bool withoutOverwriting = contains(options, DataWritingOptions::withoutOverwriting);
  const std::string text = path.systemText();
  // A path that names nothing (files/path.h) never reaches the atomic write, which would make its
  // temporary file in the current directory before failing.
  if (text.empty()) throw FileError::writeToFileFail(path, systemError(ENOENT, "open"));
  try {
    if (contains(options, DataWritingOptions::atomic)) {
      platform::writeFileAtomically(text, bytes, {.withoutOverwriting = withoutOverwriting});
    } else {
      writeInPlace(text, bytes, withoutOverwriting);
    }
  } catch (const std::system_error&) {
    throw FileError::writeToFileFail(path, std::current_exception());
  }
}

}  // namespace tessra::files
