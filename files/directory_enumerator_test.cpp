#include "files/directory_enumerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

std::vector<std::string> walk(DirectoryEnumerator enumerator) {
  std::vector<std::string> seen;
  for (const Path& p : enumerator) seen.push_back(p.rawValue());
  return seen;
}

TEST(DirectoryEnumeration, NothingBelowMissingRegularOrEmptyPaths) {
  testing::TempDir dir;
  dir.write("file", "x");
  std::filesystem::create_directory(dir.path() / "empty");
  const Path root(dir.path().string());
  EXPECT_TRUE(walk((root + "missing").enumerator()).empty());
  EXPECT_TRUE(walk((root + "file").enumerator()).empty());
  EXPECT_TRUE(walk((root + "empty").enumerator()).empty());
}

TEST(DirectoryEnumeration, EverythingBelowWithFoldersBeforeTheirContents) {
  testing::TempDir dir;
  dir.write("a/b/c.txt", "x");
  dir.write(".hidden", "x");
  std::filesystem::create_symlink(dir.path() / "a", dir.path() / "link");
  const Path root(dir.path().string());
  auto seen = walk(root.enumerator());
  const auto position = [&](const std::string& name) {
    return std::find(seen.begin(), seen.end(), (root + name).rawValue()) - seen.begin();
  };
  EXPECT_EQ(seen.size(), 5u);  // a, a/b, a/b/c.txt, .hidden, link (not followed)
  EXPECT_LT(position("a"), position("a/b"));
  EXPECT_LT(position("a/b"), position("a/b/c.txt"));
  EXPECT_LT(position(".hidden"), static_cast<long>(seen.size()));

  // A relative walk yields relative paths.
  root.changeDirectory([&] {
    auto relative = walk(Path("a").enumerator());
    std::sort(relative.begin(), relative.end());
    EXPECT_EQ(relative, (std::vector<std::string>{"a/b", "a/b/c.txt"}));
  });
}

TEST(DirectoryEnumeration, SkipDescendantsLeavesAFolderUnopened) {
  testing::TempDir dir;
  dir.write("skip/inner.txt", "x");
  dir.write("keep/inner.txt", "x");
  DirectoryEnumerator enumerator{Path(dir.path().string())};
  std::vector<std::string> names;
  while (auto item = enumerator.next()) {
    names.push_back(item->rawValue().substr(dir.path().string().size() + 1));
    if (item->fileName() == "skip") enumerator.skipDescendants();
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"keep", "keep/inner.txt", "skip"}));
  EXPECT_EQ(enumerator.next(), std::nullopt);
}

TEST(FileTypes, RawValuesAreExact) {
  EXPECT_EQ(fileTypeFromRawValue("NSFileTypeRegular"), FileType::regular);
  EXPECT_EQ(fileTypeFromRawValue("regular"), std::nullopt);
  EXPECT_EQ(rawValue(FileType::symbolicLink), "NSFileTypeSymbolicLink");
  for (const auto type :
       {FileType::directory, FileType::regular, FileType::symbolicLink, FileType::socket,
        FileType::characterSpecial, FileType::blockSpecial, FileType::unknown}) {
    EXPECT_EQ(fileTypeFromRawValue(rawValue(type)), type);
  }
  EXPECT_EQ(Path("/dev/null").fileType(), FileType::characterSpecial);
}

}  // namespace
}  // namespace tessra::files
