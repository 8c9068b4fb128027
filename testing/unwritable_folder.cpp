#include "testing/unwritable_folder.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

namespace tessra::testing {

namespace {

namespace fs = std::filesystem;

// Set by ./dev where the tests run as root in a mount namespace of their own: a mount made here
// is seen by the session's processes only and goes with it.
bool inPrivateMountNamespace() {
  const char* flag = std::getenv("TESSRA_READ_ONLY_ROOT");
  return flag != nullptr && std::string(flag) == "1" && ::geteuid() == 0;
}

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
  if (inPrivateMountNamespace()) {
    const char* where = m_folder.c_str();
    if (how == How::readOnly) {
      if (::mount(where, where, nullptr, MS_BIND, nullptr) != 0) {
        m_why = failure("bind mount");
        return;
      }
      m_mounted = true;
      if (::mount(nullptr, where, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        m_why = failure("read-only remount");
        return;
      }
    } else {
      if (::mount("tessra-full", where, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,nr_inodes=16") !=
          0) {
        m_why = failure("tmpfs mount");
        return;
      }
      m_mounted = true;
      fill(m_folder);
    }
    m_active = true;
    return;
  }
  if (how == How::readOnly && ::geteuid() != 0) {
    m_mode = fs::status(m_folder).permissions();
    fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec);
    m_modeChanged = true;
    m_active = true;
    return;
  }
  m_why = "needs the private mount namespace of ./dev test";
}

UnwritableFolder::~UnwritableFolder() {
  if (m_mounted) ::umount2(m_folder.c_str(), MNT_DETACH);
  if (m_modeChanged) {
    std::error_code ignored;
    fs::permissions(m_folder, m_mode, ignored);
  }
}

}  // namespace tessra::testing
