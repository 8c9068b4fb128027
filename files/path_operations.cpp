// The operations of a Path that look at or change the file system.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "files/file_error.h"
#include "files/path.h"
#include "platform/foundation/unique_fd.h"

namespace tessra::files {

namespace fs = std::filesystem;

namespace {

std::optional<struct stat> statOf(const std::string& text, bool followLink) {
  struct stat info {};
  const int result = followLink ? ::stat(text.c_str(), &info) : ::lstat(text.c_str(), &info);
  if (result != 0) return std::nullopt;
  return info;
}

std::optional<std::string> userNameOf(uid_t uid) {
  passwd entry{};
  passwd* result = nullptr;
  std::array<char, 4096> buffer{};
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
    return std::nullopt;
  return std::string(result->pw_name);
}

std::optional<std::string> groupNameOf(gid_t gid) {
  group entry{};
  group* result = nullptr;
  std::array<char, 4096> buffer{};
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &result) != 0 || !result)
    return std::nullopt;
  return std::string(result->gr_name);
}

platform::Date dateOf(const struct statx_timestamp& time) {
  return platform::Date::fromUnixTime(static_cast<double>(time.tv_sec) +
                                      static_cast<double>(time.tv_nsec) / 1e9);
}

// The kernel's seconds-and-nanoseconds time value, the one `utimensat` takes.
using KernelTime = decltype(stat::st_mtim);

// Copies one item, a directory with everything in it, keeping symbolic links as links and the
// mode and modification time of every item, as a move within one file system would. Every item
// is made anew and fails if something stands there already, so a copy never merges into what
// another process put at the destination; `made` tells the caller whether the top item is ours
// to remove when the copy fails half way.
void copyTree(const fs::path& from, const fs::path& to, bool& made) {
  const auto status = fs::symlink_status(from);
  if (fs::is_symlink(status)) {
    fs::copy_symlink(from, to);
    made = true;
    return;
  }
  if (fs::is_directory(status)) {
    if (::mkdir(to.c_str(), 0700) != 0)
      throw std::system_error(errno, std::generic_category(), "mkdir");
    made = true;
    for (const auto& entry : fs::directory_iterator(from)) {
      bool madeChild = false;
      copyTree(entry.path(), to / entry.path().filename(), madeChild);
    }
    fs::permissions(to, status.permissions());
  } else if (fs::is_regular_file(status)) {
    // Without options the copy opens its target exclusively.
    fs::copy_file(from, to, fs::copy_options::none);
    made = true;
  } else {
    throw std::system_error(ENOTSUP, std::generic_category(), "copy of a special file");
  }
  fs::last_write_time(to, fs::last_write_time(from));
}

// Renames without ever replacing what stands at `to`: EEXIST when something does. Where the file
// system cannot refuse in the rename itself, a file is linked and its old name removed, and a
// directory is renamed over an empty directory made for it, which only fails if another process
// put something inside in between.
int renameWithoutReplacing(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat info {};
  if (::lstat(from, &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) {
    if (::link(from, to) != 0) return errno;
    if (::unlink(from) != 0) {
      const int error = errno;
      ::unlink(to);
      return error;
    }
    return 0;
  }
  if (::mkdir(to, 0700) != 0) return errno;
  if (::rename(from, to) != 0) {
    const int error = errno;
    ::rmdir(to);
    return error;
  }
  return 0;
}

// Copies `from` to `to` for a move or a copy; a copy that fails half way is removed, unless what
// stands at `to` was not made by it.
void copyExclusively(const Path& from, const Path& to, FileError (*failure)(Path, Path, ErrorPtr)) {
  bool made = false;
  try {
    copyTree(from.systemText(), to.systemText(), made);
  } catch (const std::system_error& error) {
    if (!made && error.code() == std::errc::file_exists) throw FileError::fileAlreadyExists(to);
    const auto cause = std::current_exception();
    std::error_code ignored;
    if (made) fs::remove_all(to.systemText(), ignored);
    throw failure(from, to, cause);
  } catch (const std::exception&) {
    const auto cause = std::current_exception();
    std::error_code ignored;
    if (made) fs::remove_all(to.systemText(), ignored);
    throw failure(from, to, cause);
  }
}

ErrorPtr filesystemError(const std::error_code& code, const char* call) {
  return systemError(code.value(), call);
}

}  // namespace

// "." and ".." (the empty text among them) name a folder only by where the process or another
// folder stands, and "/" is the whole system: a recursive removal of any of them is never what a
// caller meant, and removing the contents of the current directory before failing on "." itself
// would lose them. rm(1) refuses the same.
bool Path::refusesDeletion() const {
  std::string_view text = m_rawValue;
  while (text.size() > 1 && text.ends_with('/')) text.remove_suffix(1);
  if (text.empty() || text == "/") return true;
  const std::size_t slash = text.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? text : text.substr(slash + 1);
  return last == "." || last == "..";
}

bool Path::exists() const { return statOf(systemText(), true).has_value(); }

bool Path::isDirectory() const {
  const auto info = statOf(systemText(), true);
  return info && S_ISDIR(info->st_mode);
}

bool Path::isReadable() const { return ::access(systemText().c_str(), R_OK) == 0; }
bool Path::isWritable() const { return ::access(systemText().c_str(), W_OK) == 0; }
bool Path::isExecutable() const { return ::access(systemText().c_str(), X_OK) == 0; }

bool Path::isDeletable() const {
  if (!itemExists()) return false;
  // Deleting an entry is a change of the folder that holds it.
  return ::access(absolute().parent().systemText().c_str(), W_OK | X_OK) == 0;
}

std::optional<FileType> Path::fileType() const {
  const auto info = statOf(systemText(), false);
  if (!info) return std::nullopt;
  return fileTypeFromMode(info->st_mode);
}

FilePermissions Path::filePermissions() const {
  FilePermissions permissions;
  if (isReadable()) permissions.insert(FilePermissions::read);
  if (isWritable()) permissions.insert(FilePermissions::write);
  if (isExecutable()) permissions.insert(FilePermissions::execute);
  return permissions;
}

void Path::createDirectory(bool withIntermediateDirectories) const {
  std::error_code error;
  if (withIntermediateDirectories) {
    fs::create_directories(systemText(), error);
    // create_directories answers "nothing made" without an error for an existing directory, and
    // with an error for an existing file, as wanted.
    if (error) throw FileError::createDirectoryFail(*this, filesystemError(error, "mkdir"));
    return;
  }
  if (::mkdir(systemText().c_str(), 0777) != 0)
    throw FileError::createDirectoryFail(*this, systemError(errno, "mkdir"));
}

void Path::createFile() const {
  const platform::UniqueFd fd(
      ::open(systemText().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) throw FileError::createFileFail(*this);
}

void Path::touch(bool updateModificationDate) const {
  if (!exists()) {
    createFile();
    return;
  }
  if (!updateModificationDate) return;
  FileAttributes change;
  change.modificationDate = platform::Date::now();
  setAttributes(change);
}

void Path::deleteFile() const {
  if (refusesDeletion()) throw FileError::deleteFileFail(*this, systemError(EINVAL, "remove"));
  // remove(3) unlinks a file or a link and removes only an empty folder: a folder with anything
  // in it fails with ENOTEMPTY in the same call, so nothing inside it can be lost, not even what
  // another process puts there meanwhile.
  if (::remove(systemText().c_str()) != 0)
    throw FileError::deleteFileFail(*this, systemError(errno, "remove"));
}

void Path::moveFile(const Path& destination) const {
  if (!fileType()) throw FileError::fileDoesNotExist(*this);
  if (destination.fileType()) throw FileError::fileAlreadyExists(destination);
  // The check above gives the clear error; the rename itself refuses an item made since.
  const int error = renameWithoutReplacing(systemText().c_str(), destination.systemText().c_str());
  if (error == 0) return;
  if (error == EEXIST || error == ENOTEMPTY) throw FileError::fileAlreadyExists(destination);
  if (error != EXDEV)
    throw FileError::moveFileFail(*this, destination, systemError(error, "rename"));
  // Another file system: copy, then remove the source, which stays the one whole item when the
  // copy fails.
  copyExclusively(*this, destination, &FileError::moveFileFail);
  std::error_code removal;
  fs::remove_all(systemText(), removal);
  if (removal)
    throw FileError::moveFileFail(*this, destination, filesystemError(removal, "remove"));
}

void Path::copyFile(const Path& destination) const {
  if (!fileType()) throw FileError::fileDoesNotExist(*this);
  if (destination.fileType()) throw FileError::fileAlreadyExists(destination);
  copyExclusively(*this, destination, &FileError::copyFileFail);
}

void Path::symlinkFile(const Path& destination) const {
  const Path link = destination.isDirectory() ? destination + fileName() : destination;
  if (link.fileType()) throw FileError::fileAlreadyExists(link);
  // The target is stored as given, so a NUL byte would cut it short: refuse it like any other
  // text that names nothing.
  const std::string target = m_rawValue.find('\0') == std::string::npos ? m_rawValue : "";
  if (::symlink(target.c_str(), link.systemText().c_str()) != 0)
    throw FileError::createSymlinkFail(*this, link, systemError(errno, "symlink"));
}

void Path::hardLinkFile(const Path& destination) const {
  const Path link = destination.isDirectory() ? destination + fileName() : destination;
  if (link.fileType()) throw FileError::fileAlreadyExists(link);
  if (::link(systemText().c_str(), link.systemText().c_str()) != 0)
    throw FileError::createHardlinkFail(*this, destination, systemError(errno, "link"));
}

void Path::setAttributes(const FileAttributes& attributes) const {
  const std::string text = systemText();
  const auto fail = [&](int error, const char* call) {
    throw FileError::attributesChangeFail(*this, systemError(error, call));
  };
  // Linux keeps the birth time but offers no way to set it.
  if (attributes.creationDate) fail(ENOTSUP, "set creation date");
  if (attributes.posixPermissions &&
      ::chmod(text.c_str(), static_cast<mode_t>(*attributes.posixPermissions) & 07777) != 0)
    fail(errno, "chmod");
  std::optional<uid_t> owner;
  std::optional<gid_t> group;
  if (attributes.ownerID) owner = static_cast<uid_t>(*attributes.ownerID);
  if (attributes.groupID) group = static_cast<gid_t>(*attributes.groupID);
  if (attributes.ownerName) {
    passwd entry{};
    passwd* result = nullptr;
    std::array<char, 4096> buffer{};
    if (getpwnam_r(attributes.ownerName->c_str(), &entry, buffer.data(), buffer.size(), &result) !=
            0 ||
        !result)
      fail(EINVAL, "getpwnam");
    owner = result->pw_uid;
  }
  if (attributes.groupName) {
    struct group entry {};
    struct group* result = nullptr;
    std::array<char, 4096> buffer{};
    if (getgrnam_r(attributes.groupName->c_str(), &entry, buffer.data(), buffer.size(), &result) !=
            0 ||
        !result)
      fail(EINVAL, "getgrnam");
    group = result->gr_gid;
  }
  if ((owner || group) && ::lchown(text.c_str(), owner.value_or(static_cast<uid_t>(-1)),
                                   group.value_or(static_cast<gid_t>(-1))) != 0)
    fail(errno, "lchown");
  if (attributes.modificationDate) {
    const double unix = attributes.modificationDate->timeIntervalSince1970();
    const auto seconds = static_cast<time_t>(std::floor(unix));
    const std::array<KernelTime, 2> times{
        KernelTime{0, UTIME_OMIT},
        KernelTime{seconds, static_cast<long>((unix - static_cast<double>(seconds)) * 1e9)}};
    if (::utimensat(AT_FDCWD, text.c_str(), times.data(), AT_SYMLINK_NOFOLLOW) != 0)
      fail(errno, "utimensat");
  }
}

void Path::moveFileReplacing(const Path& destination) const {
  if (destination.fileType()) destination.deleteFile();
  moveFile(destination);
}

void Path::copyFileReplacing(const Path& destination) const {
  if (destination.fileType()) destination.deleteFile();
  copyFile(destination);
}

void Path::symlinkFileReplacing(const Path& destination) const {
  const Path standing = destination.isDirectory() ? destination + fileName() : destination;
  if (standing.fileType()) standing.deleteFile();
  symlinkFile(destination);
}

std::vector<Path> Path::children(bool recursive) const {
  std::vector<Path> found;
  std::error_code error;
  const fs::path base = systemText();
  if (!recursive) {
    for (fs::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
      found.push_back(*this + it->path().filename().string());
    }
  } else {
    for (fs::recursive_directory_iterator it(base, error), end; !error && it != end;
         it.increment(error)) {
      found.push_back(*this + it->path().lexically_relative(base).string());
    }
  }
  if (error) return {};
  return found;
}

std::vector<Path> Path::find(int searchDepth,
                             const std::function<bool(const Path&)>& condition) const {
  std::vector<Path> found;
  for (const Path& child : children(false)) {
    if (condition(child)) {
      found.push_back(child);
      continue;
    }
    if (searchDepth == 0) continue;
    auto deeper = child.find(searchDepth - 1, condition);
    found.insert(found.end(), deeper.begin(), deeper.end());
  }
  return found;
}

FileAttributes Path::attributes() const {
  struct statx info {};
  if (::statx(AT_FDCWD, systemText().c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
              &info) != 0)
    return {};
  FileAttributes attributes;
  attributes.type = fileTypeFromMode(info.stx_mode);
  attributes.size = info.stx_size;
  if (info.stx_mask & STATX_BTIME) attributes.creationDate = dateOf(info.stx_btime);
  attributes.modificationDate = dateOf(info.stx_mtime);
  attributes.ownerID = info.stx_uid;
  attributes.groupID = info.stx_gid;
  attributes.ownerName = userNameOf(info.stx_uid);
  attributes.groupName = groupNameOf(info.stx_gid);
  attributes.referenceCount = info.stx_nlink;
  attributes.systemFileNumber = info.stx_ino;
  attributes.posixPermissions = static_cast<std::int16_t>(info.stx_mode & 07777);
  return attributes;
}

std::optional<FileHandle> Path::fileHandleForReading() const {
  try {
    return FileHandle::open(absolute().systemText(), FileHandle::Mode::read);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

std::optional<FileHandle> Path::fileHandleForWriting() const {
  try {
    return FileHandle::open(absolute().systemText(), FileHandle::Mode::write);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

std::optional<FileHandle> Path::fileHandleForUpdating() const {
  try {
    return FileHandle::open(absolute().systemText(), FileHandle::Mode::update);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

FileHandle Path::fileHandle(FileHandle::Mode mode) const {
  try {
    return FileHandle::open(absolute().systemText(), mode);
  } catch (const std::system_error&) {
    if (mode == FileHandle::Mode::read)
      throw FileError::readFromFileFail(*this, std::current_exception());
    throw FileError::writeToFileFail(*this, std::current_exception());
  }
}

std::optional<std::ifstream> Path::inputStream() const {
  std::optional<FileHandle> handle = fileHandleForReading();
  if (!handle) return std::nullopt;
  // The stream opens the file that was checked, through its descriptor, so nothing put at the
  // path meanwhile is waited on.
  std::ifstream stream("/proc/self/fd/" + std::to_string(handle->fileDescriptor()),
                       std::ios::binary);
  if (!stream) return std::nullopt;
  return stream;
}

std::optional<std::ofstream> Path::outputStream(bool append) const {
  std::ofstream stream(absolute().systemText(),
                       std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (!stream) return std::nullopt;
  return stream;
}

}  // namespace tessra::files
