#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#include "files/file_error.h"
#include "files/path.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

namespace fs = std::filesystem;

int errnoOf(const FileError& error) {
  try {
    std::rethrow_exception(error.error());
  } catch (const std::system_error& e) {
    return e.code().value();
  } catch (...) {
    return -1;
  }
}

template <class F>
FileError expectFileError(F&& f) {
  try {
    f();
  } catch (const FileError& e) {
    return e;
  }
  ADD_FAILURE() << "no FileError";
  return FileError::createFileFail(Path());
}

bool onOneFileSystem(const fs::path& a, const fs::path& b) {
  struct stat first {
  }, second{};
  ::stat(a.c_str(), &first);
  ::stat(b.c_str(), &second);
  return first.st_dev == second.st_dev;
}

class PathOperations : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  testing::TempDir m_dir;
};

TEST_F(PathOperations, TestsOnTheEmptyPathLookAtTheCurrentDirectory) {
  EXPECT_TRUE(Path().exists());
  EXPECT_TRUE(Path().isDirectory());
  m_dir.write("file", "x");
  EXPECT_TRUE(at("file").exists());
  EXPECT_FALSE(at("file").isDirectory());
  EXPECT_FALSE(at("missing").exists());
  EXPECT_FALSE(at("missing").isDirectory());
  EXPECT_EQ(at("file").fileType(), FileType::regular);
  EXPECT_EQ(at("missing").fileType(), std::nullopt);
}

TEST_F(PathOperations, DanglingLinkIsAnItemButDoesNotExist) {
  at("nowhere").symlinkFile(at("link"));
  EXPECT_FALSE(at("link").exists());
  EXPECT_TRUE(at("link").itemExists());
  EXPECT_TRUE(at("link").isSymbolicLink());
}

TEST_F(PathOperations, CreateDirectoryWithAndWithoutIntermediates) {
  const auto error = expectFileError([&] { at("a/b/c").createDirectory(false); });
  EXPECT_EQ(error.kind(), FileError::Kind::createDirectoryFail);
  EXPECT_EQ(errnoOf(error), ENOENT);
  at("a/b/c").createDirectory(true);
  EXPECT_TRUE(at("a/b/c").isDirectory());
  // An existing directory is fine with intermediates, an error without.
  at("a/b/c").createDirectory(true);
  EXPECT_EQ(errnoOf(expectFileError([&] { at("a/b/c").createDirectory(false); })), EEXIST);
  m_dir.write("file", "x");
  EXPECT_EQ(expectFileError([&] { at("file/sub").createDirectory(true); }).kind(),
            FileError::Kind::createDirectoryFail);
}

TEST_F(PathOperations, MoveRefusesAMissingSourceAndAnExistingDestination) {
  m_dir.write("a", "first");
  m_dir.write("b", "second");
  auto error = expectFileError([&] { at("a").moveFile(at("b")); });
  EXPECT_EQ(error.kind(), FileError::Kind::fileAlreadyExists);
  EXPECT_EQ(error.path().rawValue(), at("b").rawValue());
  EXPECT_EQ(m_dir.read("a"), "first");
  EXPECT_EQ(m_dir.read("b"), "second");

  error = expectFileError([&] { at("missing").moveFile(at("c")); });
  EXPECT_EQ(error.kind(), FileError::Kind::fileDoesNotExist);
  EXPECT_EQ(error.path().rawValue(), at("missing").rawValue());
  EXPECT_FALSE(at("c").itemExists());

  at("a").moveFileReplacing(at("b"));
  EXPECT_EQ(m_dir.read("b"), "first");
  EXPECT_FALSE(at("a").itemExists());
}

// Another process making the destination while a move runs: either the move fails or the other
// process does, never both succeed with its item silently replaced. `makeRival` makes the item
// exclusively and says whether it did.
void expectNoMoveReplacesARival(const Path& source, const Path& destination,
                                const std::function<void()>& makeSource,
                                const std::function<bool()>& makeRival) {
  int replaced = 0;
  int refused = 0;
  for (int round = 0; round < 2000; ++round) {
    std::error_code ignored;
    fs::remove_all(destination.rawValue(), ignored);
    fs::remove_all(source.rawValue(), ignored);
    makeSource();
    std::atomic<bool> go = false;
    bool rivalMade = false;
    std::thread rival([&] {
      while (!go.load()) {
      }
      rivalMade = makeRival();
    });
    go = true;
    bool moved = false;
    try {
      source.moveFile(destination);
      moved = true;
    } catch (const FileError& error) {
      EXPECT_EQ(error.kind(), FileError::Kind::fileAlreadyExists);
      ++refused;
    }
    rival.join();
    if (moved && rivalMade) ++replaced;
  }
  EXPECT_EQ(replaced, 0) << refused << " moves were refused";
}

TEST_F(PathOperations, AMoveNeverReplacesAnItemMadeWhileItRuns) {
  const Path target = at("target");
  expectNoMoveReplacesARival(
      at("file"), target, [&] { m_dir.write("file", "mine"); },
      [&] {
        const int fd = ::open(target.rawValue().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0) return false;
        ::close(fd);
        return true;
      });
  expectNoMoveReplacesARival(
      at("folder"), target, [&] { m_dir.write("folder/inside", "mine"); },
      [&] { return ::mkdir(target.rawValue().c_str(), 0700) == 0; });
}

TEST_F(PathOperations, MoveAcrossFileSystemsCopiesTheTreeAndRemovesTheSource) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  testing::TempDir shm("/dev/shm");
  testing::TempDir home(Path::userHome().rawValue());
  if (onOneFileSystem(shm.path(), home.path()))
    GTEST_SKIP() << "/dev/shm and the home folder share a file system";

  shm.write("tree/notes.txt", "hello");
  shm.write("tree/deep/more.bin", std::string("\0\1\2", 3));
  ::chmod((shm.path() / "tree/notes.txt").c_str(), 0640);
  fs::create_symlink("notes.txt", shm.path() / "tree/link");
  const Path source(shm.path().string() + "/tree");
  const Path destination(home.path().string() + "/moved");

  source.moveFile(destination);

  EXPECT_FALSE(source.itemExists());
  EXPECT_EQ(home.read("moved/notes.txt"), "hello");
  EXPECT_EQ(home.read("moved/deep/more.bin"), std::string("\0\1\2", 3));
  EXPECT_EQ((destination + "notes.txt").posixPermissions(), 0640);
  EXPECT_TRUE((destination + "link").isSymbolicLink());
  EXPECT_EQ(fs::read_symlink(home.path() / "moved/link"), "notes.txt");
}

TEST_F(PathOperations, AFailedMoveAcrossFileSystemsLeavesTheSourceWhole) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  testing::TempDir shm("/dev/shm");
  testing::TempDir home(Path::userHome().rawValue());
  if (onOneFileSystem(shm.path(), home.path()))
    GTEST_SKIP() << "/dev/shm and the home folder share a file system";

  shm.write("tree/a.txt", "a");
  // A named pipe cannot be copied: the copy stops half way.
  ASSERT_EQ(::mkfifo((shm.path() / "tree/pipe").c_str(), 0600), 0);
  shm.write("tree/z.txt", "z");
  const Path source(shm.path().string() + "/tree");
  const Path destination(home.path().string() + "/moved");
  const auto error = expectFileError([&] { source.moveFile(destination); });
  EXPECT_EQ(error.kind(), FileError::Kind::moveFileFail);
  EXPECT_EQ(error.destination()->rawValue(), destination.rawValue());
  EXPECT_FALSE(destination.itemExists());
  EXPECT_EQ(shm.read("tree/a.txt"), "a");
  EXPECT_EQ(shm.read("tree/z.txt"), "z");
  EXPECT_EQ((source + "pipe").fileType(), FileType::unknown);
}

TEST_F(PathOperations, DeletingAMissingItemFails) {
  const auto error = expectFileError([&] { at("missing").deleteFile(); });
  EXPECT_EQ(error.kind(), FileError::Kind::deleteFileFail);
  EXPECT_EQ(errnoOf(error), ENOENT);
  EXPECT_EQ(std::string(error.what()),
            "Could not delete file at \"" + at("missing").rawValue() + "\"");
}

// A delete takes one entry: a link goes and what it names stays; a folder goes only when it is
// empty, so nothing inside a folder is ever lost to it.
TEST_F(PathOperations, DeletingRemovesOneEntryAndNeverWhatAFolderHolds) {
  m_dir.write("folder/inside", "x");
  m_dir.write("folder/sub/deeper", "y");
  const auto error = expectFileError([&] { at("folder").deleteFile(); });
  EXPECT_EQ(error.kind(), FileError::Kind::deleteFileFail);
  EXPECT_EQ(errnoOf(error), ENOTEMPTY);
  EXPECT_EQ(m_dir.read("folder/inside"), "x");
  EXPECT_EQ(m_dir.read("folder/sub/deeper"), "y");

  ASSERT_EQ(::symlink(at("folder").systemText().c_str(), at("link").systemText().c_str()), 0);
  at("link").deleteFile();
  EXPECT_FALSE(at("link").itemExists());
  EXPECT_EQ(m_dir.read("folder/inside"), "x");

  at("empty").createDirectory(false);
  at("empty").deleteFile();
  EXPECT_FALSE(at("empty").itemExists());
}

TEST(PathDeletionRule, RefusesFoldersNamedByRelationAndTheRoot) {
  // Decided on the text alone: these are never passed to a deleting call.
  const std::pair<const char*, bool> cases[] = {
      {"/", true},     {"//", true},        {"", true},       {".", true},           {"..", true},
      {"./", true},    {"a/..", true},      {"/usr/.", true}, {"/usr/lib/..", true}, {"a", false},
      {"/a/b", false}, {"..hidden", false}, {"a/.b", false},  {"a/b/", false},
  };
  for (const auto& [text, refused] : cases)
    EXPECT_EQ(Path(text).refusesDeletion(), refused) << text;
}

TEST_F(PathOperations, DeletingTheCurrentOrAParentFolderIsRefusedAndRemovesNothing) {
  m_dir.write("work/keep.txt", "k");
  m_dir.write("work/sub/inner.txt", "i");
  const Path work = at("work");
  const std::string absolute = work.rawValue();
  const bool ran = work.changeDirectory([&] {
    // Every case stays inside the temporary folder, so that a regression fails here instead of
    // removing anything outside it.
    const std::vector<std::string> texts{
        "", ".", "./", "sub/..", "sub/../", absolute + "/.", absolute + "/sub/.."};
    for (const std::string& text : texts) {
      const auto error = expectFileError([&] { Path(text).deleteFile(); });
      EXPECT_EQ(error.kind(), FileError::Kind::deleteFileFail) << text;
      EXPECT_EQ(errnoOf(error), EINVAL) << text;
      EXPECT_EQ(m_dir.read("work/keep.txt"), "k") << text;
      EXPECT_EQ(m_dir.read("work/sub/inner.txt"), "i") << text;
    }
  });
  EXPECT_TRUE(ran);
  // A name that merely starts with dots is an ordinary item.
  m_dir.write("..hidden", "x");
  at("..hidden").deleteFile();
  EXPECT_FALSE(at("..hidden").itemExists());
}

TEST_F(PathOperations, LinksIntoAFolderTakeTheSourceName) {
  m_dir.write("data.txt", "x");
  at("folder").createDirectory(false);
  at("data.txt").symlinkFile(at("folder"));
  EXPECT_TRUE(at("folder/data.txt").isSymbolicLink());
  const auto error = expectFileError([&] { at("data.txt").symlinkFile(at("folder")); });
  EXPECT_EQ(error.kind(), FileError::Kind::fileAlreadyExists);
  EXPECT_EQ(error.path().rawValue(), at("folder/data.txt").rawValue());

  at("data.txt").hardLinkFile(at("hard"));
  EXPECT_EQ(at("data.txt").fileReferenceCount(), 2u);
  // A hard link cannot be made to a folder; the error names the destination as given.
  const auto linkError = expectFileError([&] { at("folder").hardLinkFile(at("folder2")); });
  EXPECT_EQ(linkError.kind(), FileError::Kind::createHardlinkFail);
  EXPECT_EQ(linkError.destination()->rawValue(), at("folder2").rawValue());
}

TEST_F(PathOperations, ChildrenAndFind) {
  m_dir.write("file", "x");
  m_dir.write("match/inner/match", "x");
  m_dir.write("other/match", "x");
  m_dir.write("other/deeper/match", "x");
  EXPECT_TRUE(at("file").children().empty());
  EXPECT_TRUE(at("missing").children().empty());
  EXPECT_EQ(Path(m_dir.path().string()).children().size(), 3u);
  EXPECT_EQ(Path(m_dir.path().string()).children(true).size(), 8u);

  const auto isMatch = [](const Path& p) { return p.fileName() == "match"; };
  const Path root(m_dir.path().string());
  EXPECT_EQ(root.find(0, isMatch).size(), 1u);  // the folder, not looked into
  auto all = root.find(-1, isMatch);
  EXPECT_EQ(all.size(), 3u);  // match/, other/match, other/deeper/match
  EXPECT_EQ(root.find(1, isMatch).size(), 2u);
  const auto sizes =
      root.find<std::uint64_t>(-1, [](const Path& p) -> std::optional<std::uint64_t> {
        if (!p.isRegular()) return std::nullopt;
        return p.fileSize();
      });
  EXPECT_EQ(sizes.size(), 4u);
}

TEST_F(PathOperations, PermissionsTouchAndAttributes) {
  m_dir.write("file", "content");
  ::chmod((m_dir.path() / "file").c_str(), 0644);
  EXPECT_EQ(at("file").filePermissions().rawValue(), 3);
  EXPECT_EQ(at("file").filePermissions().description(), "FilePermissions[Read, Write]");
  EXPECT_EQ(FilePermissions().description(), "FilePermissions[]");

  FileAttributes change;
  change.modificationDate = platform::Date::fromReferenceDate(0);
  change.posixPermissions = 0600;
  at("file").setAttributes(change);
  EXPECT_EQ(at("file").modificationDate(), platform::Date::fromReferenceDate(0));
  EXPECT_EQ(at("file").posixPermissions(), 0600);

  at("file").touch();
  EXPECT_GT(at("file").modificationDate()->timeIntervalSinceReferenceDate(), 0);
  EXPECT_EQ(m_dir.read("file"), "content");
  at("new").touch();
  EXPECT_EQ(at("new").fileSize(), 0u);

  auto error = expectFileError([&] { at("missing").setAttributes(change); });
  EXPECT_EQ(error.kind(), FileError::Kind::attributesChangeFail);
  EXPECT_TRUE(std::string(error.what()).starts_with("Could not change file attrubutes at"));
  FileAttributes birth;
  birth.creationDate = platform::Date::now();
  EXPECT_EQ(errnoOf(expectFileError([&] { at("file").setAttributes(birth); })), ENOTSUP);
  EXPECT_TRUE(at("missing").attributes().isEmpty());
}

TEST_F(PathOperations, HandlesFailWithTheirCase) {
  EXPECT_EQ(expectFileError([&] { at("missing").fileHandle(FileHandle::Mode::read); }).kind(),
            FileError::Kind::readFromFileFail);
  EXPECT_EQ(expectFileError([&] { at("missing").fileHandle(FileHandle::Mode::update); }).kind(),
            FileError::Kind::writeToFileFail);
  EXPECT_FALSE(at("missing").fileHandleForReading().has_value());
  m_dir.write("file", "abc");
  auto handle = at("file").fileHandle(FileHandle::Mode::read);
  EXPECT_EQ(toString(handle.readToEnd()), "abc");
}

TEST_F(PathOperations, PathsWithOddBytesWork) {
  for (const std::string name :
       {"new\nline", "quote\"d", "bad\xFF", " lead", "%20", "caf\xC3\xA9"}) {
    const Path p = at(name);
    p.createFile();
    EXPECT_TRUE(p.exists()) << name;
    p.moveFile(at(name + ".moved"));
    EXPECT_TRUE(at(name + ".moved").exists()) << name;
    at(name + ".moved").deleteFile();
    EXPECT_FALSE(at(name + ".moved").itemExists()) << name;
  }
}

TEST_F(PathOperations, PathsWithANulByteNameNothingAndChangeNothing) {
  m_dir.write("victim", "precious");
  m_dir.write("other", "other");
  // Cut at the NUL, this text names "victim".
  const Path cut(at("victim").rawValue() + std::string("\0.tmp", 5));
  EXPECT_FALSE(cut.exists());
  EXPECT_FALSE(cut.itemExists());
  EXPECT_FALSE(cut.isDirectory());
  EXPECT_TRUE(cut.attributes().isEmpty());
  EXPECT_FALSE(cut.fileHandleForWriting().has_value());
  EXPECT_FALSE(cut.outputStream(false).has_value());

  FileAttributes noAccess;
  noAccess.posixPermissions = 0;
  const struct {
    const char* what;
    std::function<void()> run;
    FileError::Kind kind;
  } cases[] = {
      {"create", [&] { cut.createFile(); }, FileError::Kind::createFileFail},
      {"delete", [&] { cut.deleteFile(); }, FileError::Kind::deleteFileFail},
      {"attributes", [&] { cut.setAttributes(noAccess); }, FileError::Kind::attributesChangeFail},
      {"move onto", [&] { at("other").moveFile(cut); }, FileError::Kind::moveFileFail},
      {"copy onto", [&] { at("other").copyFile(cut); }, FileError::Kind::copyFileFail},
      {"move from", [&] { cut.moveFile(at("moved")); }, FileError::Kind::fileDoesNotExist},
      {"link at", [&] { at("other").symlinkFile(cut); }, FileError::Kind::createSymlinkFail},
      {"link to", [&] { cut.symlinkFile(at("link")); }, FileError::Kind::createSymlinkFail},
      {"folder", [&] { cut.createDirectory(true); }, FileError::Kind::createDirectoryFail},
      {"open", [&] { cut.fileHandle(FileHandle::Mode::update); }, FileError::Kind::writeToFileFail},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(expectFileError(c.run).kind(), c.kind) << c.what;
    EXPECT_EQ(m_dir.read("victim"), "precious") << c.what;
    EXPECT_EQ(at("victim").posixPermissions(), at("other").posixPermissions()) << c.what;
  }
  EXPECT_EQ(Path(m_dir.path().string()).children().size(), 2u);
}

TEST_F(PathOperations, CopyKeepsTheSourceAndRefusesToOverwrite) {
  m_dir.write("a/x", "1");
  at("a").copyFile(at("b"));
  EXPECT_EQ(m_dir.read("b/x"), "1");
  EXPECT_EQ(m_dir.read("a/x"), "1");
  EXPECT_EQ(expectFileError([&] { at("a").copyFile(at("b")); }).kind(),
            FileError::Kind::fileAlreadyExists);
  // Replacing deletes one entry: a folder that holds something is refused and stays whole.
  m_dir.write("a/x", "2");
  EXPECT_EQ(expectFileError([&] { at("a").copyFileReplacing(at("b")); }).kind(),
            FileError::Kind::deleteFileFail);
  EXPECT_EQ(m_dir.read("b/x"), "1");
  m_dir.write("c", "new");
  m_dir.write("d", "old");
  at("c").copyFileReplacing(at("d"));
  EXPECT_EQ(m_dir.read("d"), "new");
}

}  // namespace
}  // namespace tessra::files
