// Where the conversation data lives: the storage folder under the user's data home
// (${XDG_DATA_HOME:-~/.local/share}/TessraAI/), its list file and its attachment files folder.
//
//   const files::Path session = Paths::sessionFile("welcome");  // <storage>/welcome.json
//
// The three folders are computed once per process, on first use (thread-safe), from the
// environment of that moment. The texts of the storage and files folders end with "/".
#pragma once

#include <string>
#include <string_view>

#include "files/path.h"

namespace tessra {

class Paths {
 public:
  static const files::Path& storageDirectory();
  static const files::Path& conversationsFile();
  static const files::Path& filesDirectory();

  // The session file of a key: the storage folder joined with the key and ".json", the key used
  // as it is. Check the key with `isPlainFileName` before touching the file.
  static files::Path sessionFile(std::string_view key);
  static files::Path sessionFile(const files::Path& storageDirectory, std::string_view key);
};

// True when `name` can only name an entry directly inside a folder: not empty, not "." or "..",
// without "/" or NUL, and at most 255 bytes.
bool isPlainFileName(std::string_view name);

}  // namespace tessra
