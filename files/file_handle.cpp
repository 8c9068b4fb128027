#include "files/file_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/foundation/regular_file.h"

namespace tessra::files {

namespace {

[[noreturn]] void throwErrno(const char* call) {
  throw std::system_error(errno, std::generic_category(), call);
}

}  // namespace

FileHandle FileHandle::open(const std::string& path, Mode mode) {
  int accessMode = O_RDONLY;
  switch (mode) {
    case Mode::read:
      break;
    case Mode::write:
      accessMode = O_WRONLY;
      break;
    case Mode::update:
      accessMode = O_RDWR;
      break;
  }
  return FileHandle(platform::openRegularFile(path, accessMode).release());
}

Bytes FileHandle::read(std::size_t count) {
  Bytes bytes(count);
  for (;;) {
    const ssize_t n = ::read(m_fd.get(), bytes.data(), count);
    if (n >= 0) {
      bytes.resize(static_cast<std::size_t>(n));
      return bytes;
    }
    if (errno != EINTR) throwErrno("read");
  }
}

Bytes FileHandle::readToEnd() {
  Bytes all;
  for (;;) {
    const Bytes chunk = read(64 * 1024);
    if (chunk.empty()) return all;
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
}

void FileHandle::write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(m_fd.get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throwErrno("write");
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
}

std::uint64_t FileHandle::offset() const {
  const off_t at = ::lseek(m_fd.get(), 0, SEEK_CUR);
  if (at < 0) throwErrno("lseek");
  return static_cast<std::uint64_t>(at);
}

void FileHandle::seek(std::uint64_t offset) {
  if (::lseek(m_fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) throwErrno("lseek");
}

std::uint64_t FileHandle::seekToEnd() {
  const off_t at = ::lseek(m_fd.get(), 0, SEEK_END);
  if (at < 0) throwErrno("lseek");
  return static_cast<std::uint64_t>(at);
}

void FileHandle::truncate(std::uint64_t size) {
  if (::ftruncate(m_fd.get(), static_cast<off_t>(size)) != 0) throwErrno("ftruncate");
}

void FileHandle::synchronize() {
  if (::fsync(m_fd.get()) != 0) throwErrno("fsync");
}

}  // namespace tessra::files
