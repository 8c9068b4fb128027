// A folder that refuses writes for as long as the object lives, in a way root feels too, for the
// tests of what the program does when it cannot save: a read-only folder, or a full disk.
//
//   testing::UnwritableFolder blocked(folder, testing::UnwritableFolder::How::full);
//   if (!blocked.isActive()) GTEST_SKIP() << blocked.why();
//   ... every write into `folder` fails with ENOSPC ...
//
// `readOnly` binds the folder onto itself read-only (EROFS): what is in it stays readable.
// `full` lays a tiny file system over it and fills it (ENOSPC); what was in the folder is hidden
// until the object ends. Both are mounts, made only in the private mount namespace that
// `./dev test` gives root, where they are seen by the test session alone.
#pragma once

#include <filesystem>
#include <string>

namespace tessra::testing {

class UnwritableFolder {
 public:
  enum class How { readOnly, full };

  UnwritableFolder(std::filesystem::path folder, How how);
  // Makes the folder writable again, as it was.
  ~UnwritableFolder();
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;

  // Whether writes into the folder now fail; `why()` says why not otherwise.
  bool isActive() const { return m_active; }
  const std::string& why() const { return m_why; }

 private:
  std::filesystem::path m_folder;
  bool m_active = false;
  bool m_mounted = false;
  std::string m_why;
};

}  // namespace tessra::testing
