#include "fuzz/fuzz_support.h"

#include <unistd.h>
#include <cstdlib>
#include <string>

#include "platform/foundation/logger.h"

namespace tessra::fuzz {

void quietLogs() {
  platform::Logger::shared().setSink([](const platform::LogLine&) {});
}

const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessra-fuzz.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) fail("a scratch folder can be made");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchFolder(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

void fail(std::string_view rule) {
  platform::Logger::shared().setSink({});
  platform::logFault("Broken rule: {}", rule);
  std::abort();
}

}  // namespace tessra::fuzz
