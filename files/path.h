// A file-system location named by its text, with the path algebra (path.cpp), the well-known
// folders (well_known_folders.h says where they are) and the operations that look at or change
// the file system (path_operations.cpp).
//
// A `Path` keeps its text exactly as given (`rawValue()`); nothing is normalised on construction.
// The algebra has its own lexical rules, which differ from std::filesystem's on purpose:
//
//   Path("a") + "b"          -> "a/b"      (one "/" where the two texts meet)
//   Path("a//") + "b"        -> "a//b"     (nothing else is normalised)
//   Path("") + "b", Path(".") + "b" -> "b" (the empty text and "." are the current directory)
//   Path("a/b/../c").components() -> a, c
//   Path("a/./b") == Path("a/b")   (equality compares normalised forms)
//
// The empty text stands for the current directory: every file-system call made for it uses ".".
// Failing operations throw `FileError` (files/file_error.h); tests, attribute reads and listings
// never throw. Values may be copied between threads; the current directory is process-wide state.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/file_attributes.h"
#include "files/file_handle.h"
#include "files/file_type.h"

namespace tessra::files {

class DirectoryEnumerator;

enum class RelativePathType { normal, current, ancestor, parent, absolute };

std::string_view rawValue(RelativePathType type);
std::optional<RelativePathType> relativePathTypeFromRawValue(std::string_view text);

class Path {
 public:
  static constexpr std::string_view separator = "/";

  Path() = default;
  explicit Path(std::string text) : m_rawValue(std::move(text)) {}
  explicit Path(std::string_view text) : m_rawValue(text) {}
  explicit Path(const char* text) : m_rawValue(text) {}
  // With `expandingTilde`, a leading "~" or "~user" becomes that user's home folder.
  Path(std::string_view text, bool expandingTilde);

  // The texts of the paths one after the other, with no separator put between them.
  static Path concatenating(std::span<const Path> paths);
  // The path of a "file://" URL (percent-decoded); nothing for any other URL.
  static std::optional<Path> fromFileUrl(std::string_view url);
  static const Path& root();

  const std::string& rawValue() const { return m_rawValue; }
  // The text handed to the system: "." in place of the empty text. A text with a NUL byte cannot
  // be handed over whole, and the part before the NUL names another item: such a path gives the
  // empty C string, which names nothing, so every call fails with ENOENT and touches nothing.
  std::string systemText() const;

  // --- Algebra (no file-system access unless noted) -------------------------------------------

  friend Path operator+(const Path& lhs, const Path& rhs);
  friend Path operator+(const Path& lhs, std::string_view rhs) { return lhs + Path(rhs); }
  friend Path operator+(std::string_view lhs, const Path& rhs) { return Path(lhs) + rhs; }
  friend Path operator/(const Path& lhs, const Path& rhs) { return lhs + rhs; }
  friend Path operator/(const Path& lhs, std::string_view rhs) { return lhs + Path(rhs); }
  Path& operator+=(const Path& rhs) { return *this = *this + rhs; }
  Path& operator+=(std::string_view rhs) { return *this = *this + Path(rhs); }
  Path& operator/=(const Path& rhs) { return *this += rhs; }
  Path& operator/=(std::string_view rhs) { return *this += rhs; }

  // "/" first for an absolute path (which is made absolute and standardised first); "." dropped;
  // for a relative path "x/.." pairs fold away while leading ".." stay.
  std::vector<Path> components() const;
  std::size_t componentCount() const { return components().size(); }
  // The first i + 1 components joined. Ends the process with "Path index out of range" when i is
  // not below the number of components.
  Path operator[](std::size_t i) const;
  // Components a up to (not including) b joined. Ends the process with "Path bounds out of range"
  // unless a < b <= the number of components.
  Path slice(std::size_t a, std::size_t b) const;

  Path parent() const;
  // The last component of the absolute path.
  std::string fileName() const;
  std::string fileNameWithoutExtension() const;
  std::string pathExtension() const;
  // Replaces the extension; an empty one leaves a trailing ".".
  void setPathExtension(std::string_view extension);

  Path standardized() const;
  void standardize() { *this = standardized(); }
  std::string standardRawValue() const { return standardized().rawValue(); }
  Path rebuilt() const;
  std::string rebuiltRawValue() const { return rebuilt().rawValue(); }
  // Standardised, with symbolic links resolved (reads the file system).
  Path resolved() const;
  void resolve() { *this = resolved(); }
  // Standardised; a relative path is first joined to the current directory.
  Path absolute() const;

  bool isAbsolute() const { return m_rawValue.starts_with('/'); }
  bool isRelative() const { return !isAbsolute(); }
  bool isRoot() const { return resolved().rawValue() == "/"; }
  RelativePathType relativePathType() const;

  Path commonAncestor(const Path& other) const;
  bool isAncestor(const Path& of, bool recursive = false) const;
  bool isDescendant(const Path& of) const;

  friend bool operator==(const Path& lhs, const Path& rhs);

  const std::string& description() const { return m_rawValue; }
  // Path("a\"b") reads Path("a\"b").
  std::string debugDescription() const;
  // A percent-encoded "file://" URL of the absolute path, with a final "/" for a directory.
  std::string url() const;

  // Walks everything below this directory (files/directory_enumerator.h).
  DirectoryEnumerator enumerator() const;

  // --- The current directory ------------------------------------------------------------------

  static Path current();
  // Changes the current directory; a failure is ignored.
  static void setCurrent(const Path& path);
  // Runs `f` with the current directory changed to this path, then changes it back (also when
  // `f` throws). When the change fails `f` does not run. Answers whether it ran.
  template <class F>
  bool changeDirectory(F&& f) const;

  // --- Well-known folders (well_known_folders.h) ----------------------------------------------

  static Path userHome();
  static Path userTemporary();
  static Path processTemporary();
  static Path uniqueTemporary();

  // The user's folders on the desktop's conventions: the XDG base directories (XDG_DATA_HOME,
  // XDG_CACHE_HOME, XDG_CONFIG_HOME, XDG_STATE_HOME) and the user directories of
  // user-dirs.dirs (Desktop, Documents, ...). `userLibrary` is the data home: the program's
  // storage lives under it.
  static Path userLibrary();
  static Path userApplicationSupport();
  static Path userCaches();
  static Path userConfiguration();
  static Path userAutosavedInformation();
  static Path userApplications();
  static Path userTrash();
  static Path userDesktop();
  static Path userDocuments();
  static Path userDownloads();
  static Path userMovies();
  static Path userMusic();
  static Path userPictures();
  static Path userSharedPublic();
  static Path systemApplications();
  static Path systemApplicationSupport();
  static std::vector<Path> allLibraries();
  static std::vector<Path> allApplications();
  // The mount points of the mounted file systems.
  static std::vector<Path> volumes();

  // --- Tests (never throw) ----------------------------------------------------------------------

  bool exists() const;       // follows a final symbolic link
  bool isDirectory() const;  // follows a final symbolic link
  bool isReadable() const;
  bool isWritable() const;
  bool isExecutable() const;
  bool isDeletable() const;
  std::optional<FileType> fileType() const;  // the item's own type
  bool itemExists() const { return fileType().has_value(); }
  bool isRegular() const { return fileType() == FileType::regular; }
  bool isDirectoryItem() const { return fileType() == FileType::directory; }
  bool isSymbolicLink() const { return fileType() == FileType::symbolicLink; }
  FilePermissions filePermissions() const;

  // --- Changes (throw FileError) ----------------------------------------------------------------

  void createDirectory(bool withIntermediateDirectories) const;
  // Creates an empty file, replacing the content of an existing one.
  void createFile() const;
  void touch(bool updateModificationDate = true) const;
  // Removes the item: a file, a link (never what it points to) or an empty directory. A
  // directory with anything in it is refused with ENOTEMPTY and stays whole, and paths for which
  // `refusesDeletion()` holds are refused with EINVAL before anything is touched.
  void deleteFile() const;
  // True for a path that names its folder only by relation ("", ".", "..", a last component "."
  // or "..") and for "/". Decided on the text alone.
  bool refusesDeletion() const;
  // Across file systems the item is copied and the source removed.
  void moveFile(const Path& destination) const;
  void copyFile(const Path& destination) const;
  // Into an existing directory the link is made as destination + this file name. The link's
  // target is this path's text as given.
  void symlinkFile(const Path& destination) const;
  void hardLinkFile(const Path& destination) const;
  void setAttributes(const FileAttributes& attributes) const;
  // The same, after deleting whatever stands at the destination (`deleteFile`: a directory with
  // anything in it is refused, and nothing moves).
  void moveFileReplacing(const Path& destination) const;
  void copyFileReplacing(const Path& destination) const;
  void symlinkFileReplacing(const Path& destination) const;

  // --- Listing ----------------------------------------------------------------------------------

  // The entries (all levels when recursive) joined to this path; empty when it cannot be listed.
  std::vector<Path> children(bool recursive = false) const;
  // Children that satisfy `condition`; a child that does not is searched into while depth
  // allows (a negative depth has no limit, 0 tests only the direct children).
  std::vector<Path> find(int searchDepth, const std::function<bool(const Path&)>& condition) const;
  template <class T>
  std::vector<T> find(int searchDepth,
                      const std::function<std::optional<T>(const Path&)>& transform) const;

  // --- Attributes (never throw) -----------------------------------------------------------------

  FileAttributes attributes() const;
  std::optional<platform::Date> creationDate() const { return attributes().creationDate; }
  std::optional<platform::Date> modificationDate() const { return attributes().modificationDate; }
  std::optional<std::string> ownerName() const { return attributes().ownerName; }
  std::optional<std::string> groupName() const { return attributes().groupName; }
  std::optional<std::uint64_t> ownerID() const { return attributes().ownerID; }
  std::optional<std::uint64_t> groupID() const { return attributes().groupID; }
  std::optional<std::uint64_t> fileReferenceCount() const { return attributes().referenceCount; }
  std::optional<std::uint64_t> systemFileNumber() const { return attributes().systemFileNumber; }
  std::optional<std::int16_t> posixPermissions() const { return attributes().posixPermissions; }
  std::optional<std::uint64_t> fileSize() const { return attributes().size; }

  // --- Handles and streams, on the absolute path ------------------------------------------------

  // Handles and the input stream open regular files only (FileHandle::open): anything else at
  // the path is refused at once.
  std::optional<FileHandle> fileHandleForReading() const;
  std::optional<FileHandle> fileHandleForWriting() const;
  std::optional<FileHandle> fileHandleForUpdating() const;
  // Throws readFromFileFail for reading, writeToFileFail for writing and updating.
  FileHandle fileHandle(FileHandle::Mode mode) const;
  std::optional<std::ifstream> inputStream() const;
  std::optional<std::ofstream> outputStream(bool append) const;

 private:
  static bool enterDirectory(const Path& path, std::string& previous);
  static void leaveDirectory(const std::string& previous);

  std::string m_rawValue;
};

template <class F>
bool Path::changeDirectory(F&& f) const {
  std::string previous;
  if (!enterDirectory(*this, previous)) return false;
  struct Restore {
    const std::string& previous;
    ~Restore() { leaveDirectory(previous); }
  } restore{previous};
  std::forward<F>(f)();
  return true;
}

template <class T>
std::vector<T> Path::find(int searchDepth,
                          const std::function<std::optional<T>(const Path&)>& transform) const {
  std::vector<T> found;
  for (const Path& child : children(false)) {
    if (auto value = transform(child)) {
      found.push_back(std::move(*value));
      continue;
    }
    if (searchDepth == 0) continue;
    auto deeper = child.find<T>(searchDepth - 1, transform);
    std::move(deeper.begin(), deeper.end(), std::back_inserter(found));
  }
  return found;
}

}  // namespace tessra::files

template <>
struct std::hash<tessra::files::Path> {
  // The raw text only: paths equal after normalisation may hash differently.
  std::size_t operator()(const tessra::files::Path& path) const noexcept {
    return std::hash<std::string>{}(path.rawValue());
  }
};
