// An open file descriptor with the reads, writes and seeks the typed files and line streams need.
//
// Move-only; the descriptor is closed when the handle is destroyed or `close()` is called. Every
// failing call throws `std::system_error` with the errno of the failed call. A handle is used from
// one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/foundation/base64.h"
#include "platform/foundation/unique_fd.h"

namespace tessra::files {

class FileHandle {
 public:
  enum class Mode { read, write, update };

  // Opens an existing regular file: for reading, for writing (no truncation, the offset at 0) or
  // for both. Anything else at the path fails at once, never waited on: a folder with EISDIR, a
  // named pipe or a device with `platform::notRegularFileError()`. Throws std::system_error.
  static FileHandle open(const std::string& path, Mode mode);

  explicit FileHandle(int fileDescriptor) : m_fd(fileDescriptor) {}

  int fileDescriptor() const { return m_fd.get(); }
  bool isOpen() const { return static_cast<bool>(m_fd); }

  // Up to `count` bytes from the current offset; an empty buffer at the end of the file.
  Bytes read(std::size_t count);
  Bytes readToEnd();
  // Writes every byte (retrying short writes).
  void write(std::span<const std::uint8_t> bytes);

  std::uint64_t offset() const;
  void seek(std::uint64_t offset);
  std::uint64_t seekToEnd();
  void truncate(std::uint64_t size);
  // Flushes the file's data and metadata to the disk.
  void synchronize();
  void close() { m_fd.reset(); }

 private:
  platform::UniqueFd m_fd;
};

}  // namespace tessra::files
