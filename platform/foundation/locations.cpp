#include "platform/foundation/locations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tessra::platform {

namespace {

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || *value != '/') return std::nullopt;
  return std::filesystem::path(value);
}

std::filesystem::path applicationFolder(const char* override, const char* xdgVariable,
                                        const char* homeRelativeDefault) {
  if (auto folder = absoluteFromEnvironment(override)) return *folder;
  const auto base =
      absoluteFromEnvironment(xdgVariable).value_or(homeDirectory() / homeRelativeDefault);
  return base / kApplicationFolderName;
}

}  // namespace

std::filesystem::path homeDirectory() {
  if (auto home = absoluteFromEnvironment("HOME")) return *home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

std::filesystem::path dataDirectory() {
  return applicationFolder("TESSRA_DATA_DIR", "XDG_DATA_HOME", ".local/share");
}

std::filesystem::path cacheDirectory() {
  return applicationFolder("TESSRA_CACHE_DIR", "XDG_CACHE_HOME", ".cache");
}

std::filesystem::path configDirectory() {
  return applicationFolder("TESSRA_CONFIG_DIR", "XDG_CONFIG_HOME", ".config");
}

}  // namespace tessra::platform
