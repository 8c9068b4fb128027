#include "files/well_known_folders.h"

#include <gtest/gtest.h>

#include <string>

#include "files/path.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

using testing::ScopedEnv;

TEST(WellKnownFolders, FoldersFollowTheXdgVariables) {
  testing::TempDir dir;
  const std::string root = dir.path().string();
  ScopedEnv home("HOME", root);
  ScopedEnv data("XDG_DATA_HOME", root + "/data/");
  ScopedEnv cache("XDG_CACHE_HOME", root + "/cache");
  ScopedEnv config("XDG_CONFIG_HOME", root + "/config");
  EXPECT_EQ(Path::userLibrary().rawValue(), root + "/data");
  EXPECT_EQ((Path::userLibrary() + "TessraAI/").rawValue(), root + "/data/TessraAI/");
  EXPECT_EQ(Path::userCaches().rawValue(), root + "/cache");
  EXPECT_EQ(Path::userConfiguration().rawValue(), root + "/config");
  EXPECT_EQ(Path::userHome().rawValue(), root);
  EXPECT_EQ(Path::userDocuments().rawValue(), root + "/Documents");
  dir.write("config/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  EXPECT_EQ(Path::userDocuments().rawValue(), root + "/Papers");
  {
    // A relative value is not a base directory: the default stands.
    ScopedEnv relative("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(Path::userLibrary().rawValue(), root + "/.local/share");
  }
  EXPECT_TRUE(Path::userLibrary().isAbsolute());
  EXPECT_EQ(Path::allLibraries().front().rawValue(), root + "/data");
}

TEST(WellKnownFolders, TemporaryFoldersAreUniqueBelowTheProcesssOwn) {
  EXPECT_NE(Path::uniqueTemporary(), Path::uniqueTemporary());
  EXPECT_TRUE(Path::uniqueTemporary().isDescendant(Path::processTemporary()));
}

}  // namespace
}  // namespace tessra::files
