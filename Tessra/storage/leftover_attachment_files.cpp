#include "Tessra/storage/leftover_attachment_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

#include "platform/foundation/logger.h"
#include "platform/foundation/regular_file.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".jpg";
// A UUID in its stored form, then the extension: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F.jpg".
constexpr std::size_t kUuidLength = 36;
constexpr std::size_t kNameLength = kUuidLength + kExtension.size();

bool isWrittenName(const std::string& name) {
  if (name.size() != kNameLength || !name.ends_with(kExtension)) return false;
  const std::string_view uuid = std::string_view(name).substr(0, kUuidLength);
  return platform::canonicalUuidString(uuid) == uuid;
}

bool isRegularItem(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Crosses out of `unnamed` every name the file holds. False when it cannot be read to its end.
bool crossOutNamesIn(const fs::path& file, std::unordered_set<std::string>& unnamed) {
  platform::UniqueFd fd;
  try {
    fd = platform::openRegularFile(file);
  } catch (const std::system_error&) {
    return false;
  }
  // Read in pieces, each after the tail of the one before, so a name cut by a piece's end is
  // found whole in the next.
  std::array<char, 1 << 20> buffer{};
  std::size_t carried = 0;
  while (!unnamed.empty()) {
    const ssize_t read = ::read(fd.get(), buffer.data() + carried, buffer.size() - carried);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return false;
    if (read == 0) break;
    const std::string_view text(buffer.data(), carried + static_cast<std::size_t>(read));
    for (std::size_t at = text.find(kExtension, kUuidLength); at != std::string_view::npos;
         at = text.find(kExtension, at + 1))
      unnamed.erase(std::string(text.substr(at - kUuidLength, kNameLength)));
    carried = std::min(text.size(), kNameLength - 1);
    std::memmove(buffer.data(), text.data() + text.size() - carried, carried);
  }
  return true;
}

}  // namespace

LeftoverAttachmentFiles LeftoverAttachmentFiles::inFolder(const fs::path& filesFolder) {
  LeftoverAttachmentFiles found;
  found.m_folder = filesFolder;
  std::error_code error;
  for (fs::directory_iterator entry(filesFolder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (isWrittenName(name) && isRegularItem(entry->path())) found.m_names.insert(std::move(name));
  }
  // A folder that cannot be listed leaves nothing to look at; a missing one is the usual case.
  if (error && error != std::errc::no_such_file_or_directory)
    platform::logError("Cannot list the attachment files in {}: {}", filesFolder.string(),
                       error.message());
  return found;
}

std::size_t LeftoverAttachmentFiles::removeUnreferenced(const fs::path& storageFolder) const {
  if (m_names.empty()) return 0;
  std::unordered_set<std::string> unnamed = m_names;
  std::error_code error;
  for (fs::directory_iterator entry(storageFolder, error), end;
       !error && entry != end && !unnamed.empty(); entry.increment(error)) {
    std::error_code kind;
    // Through a link too: a session the user keeps elsewhere and links in names its files.
    if (!fs::is_regular_file(entry->path(), kind)) continue;
    if (!crossOutNamesIn(entry->path(), unnamed)) {
      platform::logError("Kept the attachment files: {} cannot be read to tell which are named",
                         entry->path().string());
      return 0;
    }
  }
  if (error) {
    platform::logError("Kept the attachment files: {} cannot be listed: {}", storageFolder.string(),
                       error.message());
    return 0;
  }
  std::size_t removed = 0;
  for (const std::string& name : unnamed) {
    const fs::path file = m_folder / name;
    if (!isRegularItem(file)) continue;
    if (::unlink(file.c_str()) != 0) {
      platform::logError("Cannot remove the leftover attachment file {}: {}", file.string(),
                         std::error_code(errno, std::generic_category()).message());
      continue;
    }
    ++removed;
  }
  platform::logInfo(
      "Removed {} leftover attachment files that no conversation names ({} looked at)", removed,
      m_names.size());
  return removed;
}

}  // namespace tessra
