// Constant facts about this file library.
#pragma once

#include <string_view>

namespace tessra::files {

struct FilesInfo {
  static constexpr std::string_view version = "v5.0.0";
  static constexpr int release = 12;
  static constexpr std::string_view licence = "MIT";
  static constexpr std::string_view description =
      "Paths, typed files, record files and watchers for the Tessra desktop assistant.";
  static constexpr std::string_view projectAddress = "https://tessra.org/files";
};

}  // namespace tessra::files
