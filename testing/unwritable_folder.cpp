#include "testing/unwritable_folder.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace tessra::testing {

namespace {

namespace fs = std::filesystem;

std::string failure(const char* step) { return std::string(step) + ": " + std::strerror(errno); }

// Writes into the folder until the file system has room for neither bytes nor names.
void fill(const fs::path& folder) {
  std::ofstream filler(folder / "filler", std::ios::binary);
  const std::string block(4096, 'x');
  while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
  }
  for (int i = 0; std::ofstream(folder / ("name-" + std::to_string(i))); ++i) {
  }
}

}  // namespace

UnwritableFolder::UnwritableFolder(fs::path folder, How how) : m_folder(std::move(folder)) {
  fs::create_directories(m_folder);
  // Set by ./dev where the tests run as root in a mount namespace of their own.
  const char* isolated = std::getenv("TESSRA_READ_ONLY_ROOT");
  if (isolated == nullptr || std::string(isolated) != "1" || ::geteuid() != 0) {
    m_why = "needs the private mount namespace of ./dev test";
    return;
  }
  const char* where = m_folder.c_str();
  if (how == How::full) {
    if (::mount("tessra-full", where, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,nr_inodes=16") !=
        0) {
      m_why = failure("tmpfs mount");
      return;
    }
    m_mounted = true;
    fill(m_folder);
  } else {
    if (::mount(where, where, nullptr, MS_BIND, nullptr) != 0) {
      m_why = failure("bind mount");
      return;
    }
    m_mounted = true;
    if (::mount(nullptr, where, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      m_why = failure("read-only remount");
      return;
    }
  }
  m_active = true;
}

UnwritableFolder::~UnwritableFolder() {
  if (m_mounted) ::umount2(m_folder.c_str(), MNT_DETACH);
}

}  // namespace tessra::testing
