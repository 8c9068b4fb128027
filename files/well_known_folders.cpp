#include "files/well_known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "files/path.h"
#include "platform/foundation/uuid.h"

namespace tessra::files {
namespace {

std::optional<std::string> environmentPath(const char* name) {
  const char* value = std::getenv(name);
  // The base-directory rules ignore relative values.
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

// An XDG base directory: the variable's value, or its default below the home folder.
std::string baseDirectory(const char* variable, std::string_view belowHome) {
  return environmentPath(variable).value_or(homeFolderText() + std::string(belowHome));
}

// The user directories of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop".
std::optional<std::string> userDirectory(std::string_view key) {
  const std::string config = baseDirectory("XDG_CONFIG_HOME", "/.config");
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != '=') continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.starts_with("$HOME")) value = homeFolderText() + value.substr(5);
    if (!value.starts_with('/')) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

Path userDirectoryOr(std::string_view key, const char* fallbackName) {
  return Path(userDirectory(key).value_or(homeFolderText() + "/" + fallbackName)).standardized();
}

std::vector<std::string> dataDirectories() {
  const char* value = std::getenv("XDG_DATA_DIRS");
  std::string list = value != nullptr && *value != '\0' ? value : "/usr/local/share:/usr/share";
  std::vector<std::string> dirs;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    const std::string dir = list.substr(start, end - start);
    if (dir.starts_with('/')) dirs.push_back(dir);
    start = end + 1;
  }
  if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

// /proc/self/mounts escapes blanks and backslashes as three octal digits.
std::string unescapeMountField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const auto digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out.push_back(static_cast<char>(std::stoi(std::string(digits), nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

}  // namespace

std::string homeFolderText() {
  if (auto home = environmentPath("HOME")) return *home;
  passwd entry{};
  passwd* result = nullptr;
  std::array<char, 4096> buffer{};
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result)
    return result->pw_dir;
  return "/";
}

Path Path::userHome() { return Path(homeFolderText()).standardized(); }

Path Path::userTemporary() {
  return Path(environmentPath("TMPDIR").value_or("/tmp")).standardized();
}

Path Path::processTemporary() {
  static const std::string kUnique = platform::makeUuidString() + "-" + std::to_string(::getpid());
  return userTemporary() + kUnique;
}

Path Path::uniqueTemporary() { return processTemporary() + platform::makeUuidString(); }

Path Path::userLibrary() {
  return Path(baseDirectory("XDG_DATA_HOME", "/.local/share")).standardized();
}

Path Path::userApplicationSupport() { return userLibrary(); }

Path Path::userCaches() { return Path(baseDirectory("XDG_CACHE_HOME", "/.cache")).standardized(); }

Path Path::userConfiguration() {
  return Path(baseDirectory("XDG_CONFIG_HOME", "/.config")).standardized();
}

Path Path::userAutosavedInformation() {
  return Path(baseDirectory("XDG_STATE_HOME", "/.local/state")).standardized();
}

Path Path::userApplications() { return userLibrary() + "applications"; }
Path Path::userTrash() { return userLibrary() + "Trash"; }
Path Path::userDesktop() { return userDirectoryOr("XDG_DESKTOP_DIR", "Desktop"); }
Path Path::userDocuments() { return userDirectoryOr("XDG_DOCUMENTS_DIR", "Documents"); }
Path Path::userDownloads() { return userDirectoryOr("XDG_DOWNLOAD_DIR", "Downloads"); }
Path Path::userMovies() { return userDirectoryOr("XDG_VIDEOS_DIR", "Videos"); }
Path Path::userMusic() { return userDirectoryOr("XDG_MUSIC_DIR", "Music"); }
Path Path::userPictures() { return userDirectoryOr("XDG_PICTURES_DIR", "Pictures"); }
Path Path::userSharedPublic() { return userDirectoryOr("XDG_PUBLICSHARE_DIR", "Public"); }

Path Path::systemApplications() { return Path(dataDirectories().front()) + "applications"; }
Path Path::systemApplicationSupport() { return Path(dataDirectories().front()).standardized(); }

std::vector<Path> Path::allLibraries() {
  std::vector<Path> paths{userLibrary()};
  for (const auto& dir : dataDirectories()) paths.push_back(Path(dir).standardized());
  return paths;
}

std::vector<Path> Path::allApplications() {
  std::vector<Path> paths{userApplications()};
  for (const auto& dir : dataDirectories())
    paths.push_back(Path(dir).standardized() + "applications");
  return paths;
}

std::vector<Path> Path::volumes() {
  std::vector<Path> paths;
  std::ifstream in("/proc/self/mounts");
  std::string device;
  std::string mountPoint;
  std::string rest;
  while (in >> device >> mountPoint && std::getline(in, rest)) {
    paths.emplace_back(unescapeMountField(mountPoint));
  }
  return paths;
}

}  // namespace tessra::files
