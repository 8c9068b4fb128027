// The settings file as the program reads it: the standard defaults suite and every setting's
// typed reader, then the write of one setting.
//
// Input: the content of "defaults.json".
// Rules: no reader fails, whatever the file holds; the file written after a change reads back
// without being set aside, and keeps every other value as it was read.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "Tessra/storage/settings_table.h"
#include "fuzz/fuzz_support.h"
#include "platform/foundation/user_defaults.h"

namespace {

using namespace tessra;
namespace fs = std::filesystem;

void readEverySetting(const platform::UserDefaults& defaults) {
  (void)setting::openAiCustomHost.read(defaults);
  (void)setting::openAiModel.read(defaults);
  (void)setting::popupPosition.read(defaults);
  (void)setting::floatingWindowSize.read(defaults);
  (void)setting::popupPadding.read(defaults);
  (void)setting::appLanguage.read(defaults);
  (void)setting::sideBarVisible.read(defaults);
  (void)setting::overlayIconVisible.read(defaults);
  (void)setting::soundEffectEnabled.read(defaults);
  (void)setting::menuBarVisible.read(defaults);
  (void)setting::onboardingPresented.read(defaults);
}

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path folder = fuzz::scratchFolder() / "config";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path file = folder / "defaults.json";
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  platform::UserDefaults read(file);
  readEverySetting(read);
  const bool written = setting::onboardingPresented.write(true, read).has_value();

  const std::size_t before = entries(folder);
  platform::UserDefaults reread(file);
  readEverySetting(reread);
  FUZZ_CHECK(entries(folder) == before);
  if (!written) return 0;
  FUZZ_CHECK(setting::onboardingPresented.read(reread));
  const auto sent = nlohmann::json::parse(fuzz::text(data, size), nullptr, false);
  if (!sent.is_object()) return 0;
  for (const auto& [key, value] : sent.items()) {
    if (key == setting::onboardingPresented.key) continue;
    FUZZ_CHECK(reread.object(key) == read.object(key));
  }
  return 0;
}
