#include "platform/foundation/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/foundation/unique_fd.h"

namespace tessra::platform {

namespace {

[[noreturn]] void fail(const char* step) {
  throw std::system_error(errno, std::generic_category(), step);
}

// Owns the temporary file until it is renamed into place; removes it on every other way out.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target) {
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    m_path = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    m_fd.reset(::mkostemp(m_path.data(), O_CLOEXEC));
    if (!m_fd) fail("Cannot create a temporary file");
  }
  ~TemporaryFile() {
    m_fd.reset();
    if (!m_committed) ::unlink(m_path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void write(std::span<const std::uint8_t> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
      const ssize_t n = ::write(m_fd.get(), bytes.data() + written, bytes.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) fail("Cannot write the file");
      written += static_cast<std::size_t>(n);
    }
  }
  void setMode(mode_t mode) {
    if (::fchmod(m_fd.get(), mode) != 0) fail("Cannot set the file's mode");
  }
  void flushAndClose() {
    if (::fsync(m_fd.get()) != 0) fail("Cannot flush the file");
    if (m_fd.close() != 0) fail("Cannot close the file");
  }
  const std::string& path() const { return m_path; }
  void committed() { m_committed = true; }

 private:
  std::string m_path;
  UniqueFd m_fd;
  bool m_committed = false;
};

// The file a symbolic link points to, so that replacing it keeps the user's link.
std::filesystem::path replacementTarget(const std::filesystem::path& file) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return file;
  std::error_code error;
  auto target = std::filesystem::weakly_canonical(file, error);
  return error ? file : target;
}

void syncFolder(const std::filesystem::path& file) {
  const auto folder = file.has_parent_path() ? file.parent_path() : ".";
  const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return;
  // The rename is already visible; this only makes it survive a power loss.
  ::fsync(fd.get());
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                         AtomicWriteOptions options) {
  if (options.createFolders && file.has_parent_path()) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) throw std::system_error(error, "Cannot create the folder");
  }
  const auto target = replacementTarget(file);
  TemporaryFile temporary(target);
  struct stat existing {};
  temporary.setMode(::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600);
  temporary.write(bytes);
  temporary.flushAndClose();
  if (options.withoutOverwriting) {
    if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, target.c_str(),
                    RENAME_NOREPLACE) != 0)
      fail("Cannot move the file into place");
  } else if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
    fail("Cannot move the file into place");
  }
  temporary.committed();
  syncFolder(target);
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         AtomicWriteOptions options) {
  writeFileAtomically(
      file, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), options);
}

}  // namespace tessra::platform
