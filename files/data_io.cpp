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

namespace tessra::files {

namespace {

// Owns a temporary file until it is renamed into place; removes it on every other way out.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    const std::filesystem::path where(target);
    const auto folder = where.parent_path();
    m_path = ((folder.empty() ? std::filesystem::path(".") : folder) /
              ("." + where.filename().string() + ".tmp-XXXXXX"))
                 .string();
    m_fd = ::mkostemp(m_path.data(), O_CLOEXEC);
    if (m_fd < 0) throw std::system_error(errno, std::generic_category(), "mkstemp");
  }
  ~TemporaryFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed) ::unlink(m_path.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return m_fd; }
  const std::string& path() const { return m_path; }
  void closeFile() {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) throw std::system_error(errno, std::generic_category(), "close");
  }
  void committed() { m_committed = true; }

 private:
  std::string m_path;
  int m_fd = -1;
  bool m_committed = false;
};

// Writes to the file a symbolic link points to, so that replacing it keeps the user's link.
std::string replacementTarget(const std::string& text) {
  struct stat info {};
  if (::lstat(text.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return text;
  std::error_code error;
  const auto target = std::filesystem::weakly_canonical(text, error);
  return error ? text : target.string();
}

void syncFolder(const std::string& file) {
  auto folder = std::filesystem::path(file).parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // The rename is already visible; this only makes it survive a power loss.
  ::fsync(fd);
  ::close(fd);
}

void writeAtomically(const std::string& text, std::span<const std::uint8_t> bytes,
                     bool withoutOverwriting) {
  const std::string target = replacementTarget(text);
  TemporaryFile temporary(target);
  struct stat existing {};
  const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600;
  if (::fchmod(temporary.fd(), mode) != 0)
    throw std::system_error(errno, std::generic_category(), "fchmod");
  FileHandle handle(::dup(temporary.fd()));
  if (!handle.isOpen()) throw std::system_error(errno, std::generic_category(), "dup");
  handle.write(bytes);
  handle.synchronize();
  handle.close();
  temporary.closeFile();
  if (withoutOverwriting) {
    if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, target.c_str(),
                    RENAME_NOREPLACE) != 0)
      throw std::system_error(errno, std::generic_category(), "rename");
  } else if (::rename(temporary.path().c_str(), target.c_str()) != 0) {
    throw std::system_error(errno, std::generic_category(), "rename");
  }
  temporary.committed();
  syncFolder(target);
}

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
  try {
    if (contains(options, DataWritingOptions::atomic)) {
      writeAtomically(path.systemText(), bytes, withoutOverwriting);
    } else {
      writeInPlace(path.systemText(), bytes, withoutOverwriting);
    }
  } catch (const std::system_error&) {
    throw FileError::writeToFileFail(path, std::current_exception());
  }
}

}  // namespace tessra::files
