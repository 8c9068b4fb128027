// The program's own folders, on the desktop's conventions (the XDG base directories).
//
// Each can be pointed elsewhere through an environment variable, so tests run in a temporary
// folder:
//   data    TESSRA_DATA_DIR,   else ${XDG_DATA_HOME:-~/.local/share}/TessraAI
//   cache   TESSRA_CACHE_DIR,  else ${XDG_CACHE_HOME:-~/.cache}/TessraAI
//   config  TESSRA_CONFIG_DIR, else ${XDG_CONFIG_HOME:-~/.config}/TessraAI
// A relative XDG variable is ignored, as the base directory rules say. The folders are computed
// at every call and not created.
#pragma once

#include <filesystem>

namespace tessra::platform {

inline constexpr const char* kApplicationFolderName = "TessraAI";

std::filesystem::path homeDirectory();
std::filesystem::path dataDirectory();
std::filesystem::path cacheDirectory();
std::filesystem::path configDirectory();

}  // namespace tessra::platform
