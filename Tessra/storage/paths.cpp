#include "Tessra/storage/paths.h"

#include "platform/foundation/locations.h"

namespace tessra {

const files::Path& Paths::storageDirectory() {
  static const files::Path kStorage = files::Path(platform::dataDirectory().string() + "/");
  return kStorage;
}

const files::Path& Paths::conversationsFile() {
  static const files::Path kList = storageDirectory() + "conversations.json";
  return kList;
}

const files::Path& Paths::filesDirectory() {
  static const files::Path kFiles = storageDirectory() + "files/";
  return kFiles;
}

files::Path Paths::sessionFile(std::string_view key) {
  return sessionFile(storageDirectory(), key);
}

files::Path Paths::sessionFile(const files::Path& storageDirectory, std::string_view key) {
  return storageDirectory + (std::string(key) + ".json");
}

bool isPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.size() > 255) return false;
  return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace tessra
