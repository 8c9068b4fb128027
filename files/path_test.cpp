#include "files/path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

std::vector<std::string> texts(const std::vector<Path>& paths) {
  std::vector<std::string> out;
  for (const auto& p : paths) out.push_back(p.rawValue());
  return out;
}

using testing::ScopedEnv;

TEST(PathAlgebra, JoinPutsOneSeparatorWhereTheTextsMeetAndNothingElse) {
  const struct {
    const char* lhs;
    const char* rhs;
    const char* joined;
  } cases[] = {
      {"", "a", "a"},       {".", "a", "a"},         {"a", "", "a"},
      {"a", ".", "a"},      {"a", "b", "a/b"},       {"a/", "b", "a/b"},
      {"a", "/b", "a/b"},   {"a/", "/b", "a/b"},     {"/", "b", "/b"},
      {"a//", "b", "a//b"}, {"a", "../b", "a/../b"}, {"/x/", "y/", "/x/y/"},
      {"a", "//b", "a//b"}, {"a//", "//b", "a///b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ((Path(c.lhs) + Path(c.rhs)).rawValue(), c.joined) << c.lhs << " + " << c.rhs;
    EXPECT_EQ((Path(c.lhs) + std::string_view(c.rhs)).rawValue(), c.joined);
    EXPECT_EQ((std::string_view(c.lhs) + Path(c.rhs)).rawValue(), c.joined);
    EXPECT_EQ((Path(c.lhs) / c.rhs).rawValue(), c.joined);
  }
  Path p("x");
  p += "y";
  p /= Path("z");
  EXPECT_EQ(p.rawValue(), "x/y/z");
  const Path parts[] = {Path("a"), Path("/b"), Path("c")};
  EXPECT_EQ(Path::concatenating(parts).rawValue(), "a/bc");
}

TEST(PathAlgebra, ComponentsDropDotsAndFoldParentsOfRelativePaths) {
  const struct {
    const char* path;
    std::vector<std::string> components;
  } cases[] = {
      {"/a/./b/", {"/", "a", "b"}},
      {"/", {"/"}},
      {"/x/z/../y", {"/", "x", "y"}},
      {"a/b/../c", {"a", "c"}},
      {"../../a", {"..", "..", "a"}},
      {"a/../../b", {"..", "b"}},
      {"a/b/../../c", {"c"}},
      {"a//b", {"a", "b"}},
      {"./a", {"a"}},
      {"", {}},
      {".", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(texts(Path(c.path).components()), c.components) << c.path;
  }
}

TEST(PathAlgebra, ParentOfEachKindOfPath) {
  const struct {
    const char* path;
    const char* parent;
  } cases[] = {
      {"/a/b", "/a"}, {"/", "/"},  {"/a", "/"},     {"a", ""},      {"a/b", "a"},
      {"", ".."},     {".", ".."}, {"..", "../.."}, {"../a", ".."}, {"a/b/c/", "a/b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.path).parent().rawValue(), c.parent) << c.path;
  }
}

TEST(PathAlgebra, EqualityComparesNormalisedForms) {
  EXPECT_EQ(Path("a/b"), Path("a/./b"));
  EXPECT_EQ(Path("/x/y"), Path("/x/z/../y"));
  EXPECT_EQ(Path(""), Path("."));
  EXPECT_EQ(Path("a/"), Path("a"));
  EXPECT_NE(Path("a/b"), Path("a/c"));
  EXPECT_NE(Path("a"), Path("/a"));

  testing::TempDir dir;
  const Path folder(dir.path().string());
  const bool ran = folder.changeDirectory([&] {
    EXPECT_EQ(Path("sub/file"), folder + "sub/file");
    EXPECT_EQ(folder + "x", Path("x"));
  });
  EXPECT_TRUE(ran);
}

TEST(PathAlgebra, RelativePathTypes) {
  const struct {
    const char* path;
    RelativePathType type;
  } cases[] = {
      {"/a", RelativePathType::absolute},   {"", RelativePathType::current},
      {".", RelativePathType::current},     {"..", RelativePathType::parent},
      {"../a", RelativePathType::ancestor}, {"a", RelativePathType::normal},
      {"a/..", RelativePathType::current},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.path).relativePathType(), c.type) << c.path;
  }
  EXPECT_EQ(relativePathTypeFromRawValue("ancestor"), RelativePathType::ancestor);
  EXPECT_EQ(relativePathTypeFromRawValue("Ancestor"), std::nullopt);
}

TEST(PathAlgebra, CommonAncestorAndKinship) {
  const struct {
    const char* a;
    const char* b;
    const char* ancestor;
  } cases[] = {
      {"/a/b/c", "/a/b/d", "/a/b"}, {"a/b", "a/c", "a"},    {"a", "b", ""}, {"..", "a", ".."},
      {"a", "../../b", "../.."},    {"../a", "../b", ".."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.a).commonAncestor(Path(c.b)).rawValue(), c.ancestor) << c.a << " ^ " << c.b;
  }
  EXPECT_TRUE(Path("/a/b/c").isDescendant(Path("/a")));
  EXPECT_FALSE(Path("/a").isDescendant(Path("/a")));
  EXPECT_TRUE(Path("/a/b").isDescendant(Path("/")));
  EXPECT_TRUE(Path("/a").isAncestor(Path("/a/b")));
  EXPECT_FALSE(Path("/a").isAncestor(Path("/a/b/c")));
  EXPECT_TRUE(Path("/a").isAncestor(Path("/a/b/c"), true));
  EXPECT_TRUE(Path("/").isAncestor(Path("/anything")));
}

TEST(PathAlgebra, NamesAndExtensions) {
  EXPECT_EQ(Path("/tmp/archive.tar.gz").pathExtension(), "gz");
  EXPECT_EQ(Path("/tmp/archive.tar.gz").fileNameWithoutExtension(), "archive.tar");
  EXPECT_EQ(Path("/tmp/archive.tar.gz").fileName(), "archive.tar.gz");
  EXPECT_EQ(Path("/tmp/.hidden").pathExtension(), "");
  EXPECT_EQ(Path("/").fileName(), "/");
  Path p("notes.txt");
  p.setPathExtension("md");
  EXPECT_EQ(p.rawValue(), "notes.md");
  p.setPathExtension("");
  EXPECT_EQ(p.rawValue(), "notes.");
}

TEST(PathAlgebra, PositionalAccessAndItsBounds) {
  const Path p("/a/b/c");
  EXPECT_EQ(p[0].rawValue(), "/");
  EXPECT_EQ(p[2].rawValue(), "/a/b");
  EXPECT_EQ(p.slice(0, p.componentCount()).rawValue(), "/a/b/c");
  EXPECT_EQ(p.slice(1, 3).rawValue(), "a/b");
  EXPECT_EQ(Path("a/./b/").rebuilt().rawValue(), "a/b");
  EXPECT_DEATH(p[4], "Path index out of range");
  EXPECT_DEATH(p.slice(2, 2), "Path bounds out of range");
  EXPECT_DEATH(p.slice(0, 5), "Path bounds out of range");
}

TEST(PathAlgebra, TildeExpansionOnlyWhenAsked) {
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(Path("~/x", false).rawValue(), "~/x");
  EXPECT_EQ(Path("~/x", true).rawValue(), "/home/someone/x");
  EXPECT_EQ(Path("~", true).rawValue(), "/home/someone");
  EXPECT_EQ(Path("~no-such-user-here/x", true).rawValue(), "~no-such-user-here/x");
  EXPECT_EQ(Path("~/a/../b").standardized().rawValue(), "/home/someone/b");
  // A "~" that did not begin the text stays a name, however often the path is standardised.
  for (const char* text : {"./~/x", ".//~", "./~no-such-user-here/x"}) {
    SCOPED_TRACE(text);
    const Path once = Path(text).standardized();
    EXPECT_TRUE(once.rawValue().starts_with("./~")) << once.rawValue();
    EXPECT_EQ(once.standardized().rawValue(), once.rawValue());
  }
  EXPECT_EQ(Path("~no-such-user-here/./x").standardized().rawValue(), "~no-such-user-here/x");
}

TEST(PathAlgebra, DescriptionsAndFileUrls) {
  EXPECT_EQ(Path("a\"b\\c").debugDescription(), "Path(\"a\\\"b\\\\c\")");
  EXPECT_EQ(Path("x").description(), "x");
  const Path odd("/tmp/with space/%25/caf\xC3\xA9/\xFF");
  const std::string url = odd.url();
  EXPECT_EQ(url, "file:///tmp/with%20space/%2525/caf%C3%A9/%FF");
  ASSERT_TRUE(Path::fromFileUrl(url).has_value());
  EXPECT_EQ(Path::fromFileUrl(url)->rawValue(), odd.rawValue());
  EXPECT_EQ(Path::fromFileUrl("https://example.com/a"), std::nullopt);
  EXPECT_EQ(Path::fromFileUrl("file:///bad%zz"), std::nullopt);
}

TEST(PathCurrentDirectory, IsRestoredWhenTheWorkThrowsAndUntouchedWhenTheChangeFails) {
  const Path before = Path::current();
  testing::TempDir dir;
  EXPECT_THROW(Path(dir.path().string()).changeDirectory([] { throw std::runtime_error("x"); }),
               std::runtime_error);
  EXPECT_EQ(Path::current(), before);
  EXPECT_FALSE(Path(dir.path().string() + "/missing").changeDirectory([] { FAIL(); }));
  EXPECT_EQ(Path::current(), before);
}

}  // namespace
}  // namespace tessra::files
