#include "platform/foundation/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/foundation/unique_fd.h"

namespace tessra::platform {

namespace {

[[noreturn]] void fail(const char* step) {
  throw std::system_error(errno, std::generic_category(), step);
}

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryRandomLength = 6;

// Owns the temporary file until it is renamed into place; removes it on every other way out.
// It is locked from its creation until it is closed, after the rename, so that a cleaner never
// takes it for a leftover.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target) {
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string pattern =
        (folder / ("." + target.filename().string() + std::string(kTemporaryMark) +
                   std::string(kTemporaryRandomLength, 'X')))
            .string();
    // A cleaner may open the file between its creation and the lock, take it for a leftover and
    // remove it; the lock then comes on a file without a name, and another one is made.
    // A cleaner runs once per start, so losing the race more than a few times does not happen
    // outside a test that cleans in a loop; the bound only keeps a broken folder from spinning.
    for (int attempt = 0; attempt < 1000; ++attempt) {
      m_path = pattern;
      m_fd.reset(::mkostemp(m_path.data(), O_CLOEXEC));
      if (!m_fd) fail("Cannot create a temporary file");
      struct stat info {};
      if (::flock(m_fd.get(), LOCK_EX) != 0 || ::fstat(m_fd.get(), &info) != 0) {
        const int error = errno;
        m_fd.reset();
        ::unlink(m_path.c_str());
        errno = error;
        fail("Cannot lock the temporary file");
      }
      if (info.st_nlink > 0) return;
      m_fd.reset();
    }
    errno = EAGAIN;
    fail("Cannot create a temporary file");
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
  // Flushed but kept open: the lock must hold until the file has its final name.
  void flush() {
    if (::fsync(m_fd.get()) != 0) fail("Cannot flush the file");
  }
  const std::string& path() const { return m_path; }
  void committed() { m_committed = true; }

 private:
  std::string m_path;
  UniqueFd m_fd;
  bool m_committed = false;
};

// True for ".<name>.tmp-XXXXXX", the names TemporaryFile makes.
bool isTemporaryName(std::string_view name) {
  if (!name.starts_with('.') || name.size() <= 1 + kTemporaryMark.size() + kTemporaryRandomLength)
    return false;
  const std::size_t mark = name.size() - kTemporaryRandomLength - kTemporaryMark.size();
  if (name.substr(mark, kTemporaryMark.size()) != kTemporaryMark) return false;
  for (const char c : name.substr(name.size() - kTemporaryRandomLength)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Removes the entry `name` of the open folder when it is a leftover: a regular file whose lock
// nobody holds and that still has that name.
bool removeIfStale(int folder, const char* name) {
  const UniqueFd fd(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return false;
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
         ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
         ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         named.st_ino == opened.st_ino && named.st_dev == opened.st_dev &&
         ::unlinkat(folder, name, 0) == 0;
}

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
  // The rename is already visible; this only makes it survive a power loss.
  if (fd) ::fsync(fd.get());
}

}  // namespace

void createPrivateFolders(const std::filesystem::path& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return;
    errno = ENOTDIR;
    fail("Cannot create the folder");
  }
  if (folder.has_parent_path() && folder.parent_path() != folder)
    createPrivateFolders(folder.parent_path());
  // Another process may have made it meanwhile, which is as good.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) fail("Cannot create the folder");
}

void writeFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                         AtomicWriteOptions options) {
  if (options.createFolders && file.has_parent_path()) createPrivateFolders(file.parent_path());
  const auto target = replacementTarget(file);
  TemporaryFile temporary(target);
  struct stat existing {};
  temporary.setMode(::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0600);
  temporary.write(bytes);
  temporary.flush();
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

std::size_t removeStaleTemporaryFiles(const std::filesystem::path& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return 0;
  const int descriptor = fd.get();
  // From here the folder stream owns the descriptor and closes it.
  const std::unique_ptr<DIR, int (*)(DIR*)> entries(::fdopendir(descriptor), &::closedir);
  if (!entries) return 0;
  fd.release();
  std::size_t removed = 0;
  while (const dirent* entry = ::readdir(entries.get())) {
    if (isTemporaryName(entry->d_name) && removeIfStale(descriptor, entry->d_name)) ++removed;
  }
  return removed;
}

}  // namespace tessra::platform
