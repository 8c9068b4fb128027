// The test session guards the machine: outside its scratch space the file system is read-only,
// so a test that goes astray cannot delete or change anything of the system or the sources.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/foundation/uuid.h"
#include "testing/temp_dir.h"

namespace tessra::testing {
namespace {

// Tries to create a new file in the folder; removes it again should the guard have let it through.
int createFileIn(const std::string& folder) {
  const std::string path = folder + "/tessra-guard-" + platform::makeUuidString();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(path.c_str());
  return 0;
}

TEST(ReadOnlySession, OnlyTheScratchSpaceIsWritable) {
  if (!std::getenv("TESSRA_READ_ONLY_ROOT"))
    GTEST_SKIP() << "not inside the read-only session of ./dev test";
  const char* source = std::getenv("TESSRA_SOURCE_DIR");
  ASSERT_TRUE(source && *source);
  for (const std::string& folder : {std::string("/etc"), std::string("/usr"), std::string(source)})
    EXPECT_EQ(createFileIn(folder), EROFS) << folder;

  TempDir scratch;
  EXPECT_EQ(createFileIn(scratch.path().string()), 0);
}

}  // namespace
}  // namespace tessra::testing
