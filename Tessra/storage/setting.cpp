#include "Tessra/storage/setting.h"

namespace tessra::stored_forms {

bool readInvertedFlag(const platform::UserDefaults& defaults, std::string_view key) {
  return defaults.integer(key).value_or(0) == 0;
}

Result<void> writeInvertedFlag(platform::UserDefaults& defaults, std::string_view key,
                               const bool& on) {
  return defaults.set(key, on ? 0 : 1);
}

bool readBoolean(const platform::UserDefaults& defaults, std::string_view key) {
  return defaults.boolean(key).value_or(false);
}

Result<void> writeBoolean(platform::UserDefaults& defaults, std::string_view key, const bool& on) {
  return defaults.set(key, on);
}

std::string readText(const platform::UserDefaults& defaults, std::string_view key) {
  return defaults.string(key).value_or("");
}

Result<void> writeText(platform::UserDefaults& defaults, std::string_view key,
                       const std::string& text) {
  return defaults.set(key, text);
}

}  // namespace tessra::stored_forms
