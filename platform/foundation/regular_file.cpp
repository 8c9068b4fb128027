#include "platform/foundation/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tessra::platform {

namespace {

class FileKindCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "file kind"; }
  std::string message(int) const override { return "Not a regular file"; }
};

[[noreturn]] void fail(const char* call) {
  throw std::system_error(errno, std::generic_category(), call);
}

void requireRegular(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return;
  // A folder is told in the system's words, as a read of it would be.
  if (S_ISDIR(info.st_mode)) throw std::system_error(EISDIR, std::generic_category(), "open");
  throw std::system_error(notRegularFileError(), "open");
}

}  // namespace

std::error_code notRegularFileError() {
  static const FileKindCategory category;
  return {1, category};
}

UniqueFd openRegularFile(const std::filesystem::path& file, int accessMode) {
  // Looked at before the open, so that a device is never opened (opening some does something),
  // and again after it, on what was opened, in case the item changed in between.
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) fail("open");
  requireRegular(info);
  // Without O_NONBLOCK, opening a named pipe waits for its other end.
  UniqueFd fd(::open(file.c_str(), accessMode | O_NONBLOCK | O_CLOEXEC));
  if (!fd) fail("open");
  if (::fstat(fd.get(), &info) != 0) fail("fstat");
  requireRegular(info);
  // Reads and writes of a regular file wait as usual again.
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) fail("fcntl");
  return fd;
}

std::string readRegularFile(const std::filesystem::path& file) {
  const UniqueFd fd = openRegularFile(file);
  std::string content;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail("read");
    if (n == 0) return content;
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace tessra::platform
