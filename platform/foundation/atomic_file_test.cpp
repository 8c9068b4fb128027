#include "platform/foundation/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "testing/temp_dir.h"

namespace tessra::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

unsigned modeOf(const fs::path& file) {
  struct stat info {};
  EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
  return info.st_mode & 07777;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicFileTest, ANewFileIsForTheOwnerOnlyAndAReplacedOneKeepsItsMode) {
  TempDir dir;
  const fs::path file = dir / "session.json";
  writeFileAtomically(file, std::string_view("first"));
  EXPECT_EQ(dir.read("session.json"), "first");
  EXPECT_EQ(modeOf(file), 0600u);

  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  writeFileAtomically(file, std::string_view("second"));
  EXPECT_EQ(dir.read("session.json"), "second");
  EXPECT_EQ(modeOf(file), 0640u);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"session.json"});
}

TEST(AtomicFileTest, ASymbolicLinkStaysAndTheFileItNamesIsReplaced) {
  TempDir dir;
  dir.write("real/conversations.json", "old");
  fs::create_symlink(dir / "real/conversations.json", dir / "link.json");
  writeFileAtomically(dir / "link.json", std::string_view("new"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.json"));
  EXPECT_EQ(dir.read("real/conversations.json"), "new");
  EXPECT_EQ(namesIn(dir / "real"), std::vector<std::string>{"conversations.json"});
}

TEST(AtomicFileTest, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  struct Case {
    std::string name;
    std::string target;
    AtomicWriteOptions options;
    int error;
    std::vector<std::string> namesAfter;
  };
  const std::vector<Case> cases = {
      {"without overwriting an existing file",
       "kept.json",
       {.withoutOverwriting = true},
       EEXIST,
       {"folder", "kept.json"}},
      {"into a missing folder", "missing/new.json", {}, ENOENT, {"folder", "kept.json"}},
      {"over a folder", "folder", {}, EISDIR, {"folder", "kept.json"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("kept.json", "old content");
    fs::create_directory(dir / "folder");
    try {
      writeFileAtomically(dir / c.target, std::string_view("new content"), c.options);
      ADD_FAILURE() << "the write succeeded";
    } catch (const std::system_error& error) {
      EXPECT_EQ(error.code().value(), c.error) << error.what();
    }
    EXPECT_EQ(dir.read("kept.json"), "old content");
    EXPECT_EQ(namesIn(dir.path()), c.namesAfter);
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
  }
}

TEST(AtomicFileTest, MissingFoldersAreMadeWhenAskedAndANewNameIsWrittenWithoutOverwriting) {
  TempDir dir;
  writeFileAtomically(dir / "a/b/files/image.jpg", std::string_view("jpeg"),
                      {.createFolders = true});
  EXPECT_EQ(dir.read("a/b/files/image.jpg"), "jpeg");
  writeFileAtomically(dir / "a/b/files/other.jpg", std::string_view("jpeg 2"),
                      {.withoutOverwriting = true});
  EXPECT_EQ(dir.read("a/b/files/other.jpg"), "jpeg 2");
}

// What the program keeps is the user's alone: every folder it makes is 0700, as its files are
// 0600; a folder that was there keeps its mode.
TEST(AtomicFileTest, FoldersMadeForTheProgramAreForTheOwnerOnly) {
  TempDir dir;
  fs::create_directory(dir / "shared");
  ASSERT_EQ(::chmod((dir / "shared").c_str(), 0755), 0);
  writeFileAtomically(dir / "shared/TessraAI/files/image.jpg", std::string_view("jpeg"),
                      {.createFolders = true});
  createPrivateFolders(dir / "shared/TessraAI/cache/vocabularies/");
  for (const char* folder : {"shared/TessraAI", "shared/TessraAI/files", "shared/TessraAI/cache",
                             "shared/TessraAI/cache/vocabularies"})
    EXPECT_EQ(modeOf(dir / folder), 0700u) << folder;
  EXPECT_EQ(modeOf(dir / "shared"), 0755u);

  createPrivateFolders(dir / "shared");
  EXPECT_THROW(createPrivateFolders(dir / "shared/TessraAI/files/image.jpg"), std::system_error);
  EXPECT_THROW(createPrivateFolders(dir / "shared/TessraAI/files/image.jpg/inside"),
               std::system_error);
}

TEST(AtomicFileTest, AReaderSeesTheWholeOldOrTheWholeNewContentNeverAMix) {
  TempDir dir;
  const fs::path file = dir / "conversations.json";
  // Large enough that a plain rewrite would be seen half written.
  const std::string first(256 * 1024, 'a');
  const std::string second(128 * 1024, 'b');
  writeFileAtomically(file, std::string_view(first));

  std::atomic<bool> writing{true};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    while (writing.load()) {
      const std::string seen = dir.read("conversations.json");
      if (seen != first && seen != second) torn.fetch_add(1);
      reads.fetch_add(1);
    }
  });
  for (int round = 0; round < 60; ++round) {
    writeFileAtomically(file, std::string_view(round % 2 == 0 ? second : first));
  }
  writing.store(false);
  reader.join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"conversations.json"});
}

TEST(AtomicFileTest, OnlyLeftoverTemporaryFilesOfThisWriterAreRemoved) {
  TempDir dir;
  const std::vector<std::string> leftovers = {".defaults.json.tmp-Ab3xZ9", ".a.tmp-000000"};
  const std::vector<std::string> kept = {"defaults.json",  "x.tmp-Ab3xZ9",  ".x.tmp-Ab3xZ",
                                         ".x.tmp-Ab3xZ9~", ".x.tmp-Ab3-Z9", ".tmp-Ab3xZ9"};
  for (const auto& name : leftovers) dir.write(name, "half a file");
  for (const auto& name : kept) dir.write(name, "someone's");
  fs::create_directory(dir / ".folder.tmp-Ab3xZ9");
  fs::create_symlink("defaults.json", dir / ".link.tmp-Ab3xZ9");
  // A write under way elsewhere holds the lock of its temporary file.
  dir.write(".busy.tmp-Ab3xZ9", "being written");
  const int busy = ::open((dir / ".busy.tmp-Ab3xZ9").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);

  EXPECT_EQ(removeStaleTemporaryFiles(dir.path()), leftovers.size());
  std::vector<std::string> expected = kept;
  expected.insert(expected.end(), {".busy.tmp-Ab3xZ9", ".folder.tmp-Ab3xZ9", ".link.tmp-Ab3xZ9"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(namesIn(dir.path()), expected);
  ::close(busy);
  EXPECT_EQ(removeStaleTemporaryFiles(dir.path()), 1u);
  EXPECT_EQ(removeStaleTemporaryFiles(dir / "missing"), 0u);
}

TEST(AtomicFileTest, CleaningWhileWritingNeverTakesAWriteUnderWay) {
  TempDir dir;
  std::atomic<bool> writing = true;
  std::thread cleaner([&] {
    while (writing.load()) removeStaleTemporaryFiles(dir.path());
  });
  for (int i = 0; i < 300; ++i) {
    const std::string content = "version " + std::to_string(i);
    ASSERT_NO_THROW(writeFileAtomically(dir / "notes.json", content));
    EXPECT_EQ(dir.read("notes.json"), content);
  }
  writing = false;
  cleaner.join();
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"notes.json"});
}

}  // namespace
}  // namespace tessra::platform
