#include "Tessra/storage/settings_keys.h"

#include <cstdint>

namespace tessra::settings_keys {

namespace {

// What the platform reads for an integer key: a missing key or a value of another type is 0.
std::int64_t storedInteger(const UserDefaults& defaults, std::string_view key) {
  return defaults.integer(key).value_or(0);
}

Result<void> setInteger(UserDefaults& defaults, std::string_view key, std::int64_t value) {
  return defaults.set(key, value);
}

}  // namespace

bool invertedFlag(const UserDefaults& defaults, std::string_view key) {
  return storedInteger(defaults, key) == 0;
}

Result<void> setInvertedFlag(UserDefaults& defaults, std::string_view key, bool value) {
  return setInteger(defaults, key, value ? 0 : 1);
}

std::string openAICustomHost(const UserDefaults& defaults) {
  return defaults.string(kOpenAICustomHost).value_or("");
}

ChatGPTModels openAIModel(const UserDefaults& defaults) {
  const auto stored = defaults.string(kOpenAIModel);
  if (!stored) return ChatGPTModels::gpt4;
  return chatGPTModelFromRawValue(*stored).value_or(ChatGPTModels::gpt4);
}

Result<void> setOpenAIModel(ChatGPTModels model, UserDefaults& defaults) {
  return defaults.set(kOpenAIModel, std::string(rawValue(model)));
}

PopupPosition popupWindowPosition(const UserDefaults& defaults) {
  return popupPositionFromRawValue(storedInteger(defaults, kPopupWindowPosition))
      .value_or(PopupPosition::right);
}

Result<void> setPopupWindowPosition(PopupPosition position, UserDefaults& defaults) {
  return setInteger(defaults, kPopupWindowPosition, rawValue(position));
}

FloatingWindowSize floatingWindowSize(const UserDefaults& defaults) {
  return floatingWindowSizeFromStoredInt(storedInteger(defaults, kFloatingWindowSize));
}

Result<void> setFloatingWindowSize(FloatingWindowSize size, UserDefaults& defaults) {
  return setInteger(defaults, kFloatingWindowSize, rawValue(size));
}

FloatingWindowPadding popupPadding(const UserDefaults& defaults) {
  return floatingWindowPaddingFromRawValue(storedInteger(defaults, kPopupPadding))
      .value_or(FloatingWindowPadding::none);
}

Result<void> setPopupPadding(FloatingWindowPadding padding, UserDefaults& defaults) {
  return setInteger(defaults, kPopupPadding, rawValue(padding));
}

AppLanguage appLanguage(const UserDefaults& defaults) {
  const auto stored = defaults.string(kAppLanguage);
  if (!stored) return AppLanguage::system;
  return appLanguageFromRawValue(*stored).value_or(AppLanguage::system);
}

Result<void> setAppLanguage(AppLanguage language, UserDefaults& defaults) {
  return defaults.set(kAppLanguage, std::string(rawValue(language)));
}

bool sideBarVisible(const UserDefaults& defaults) {
  return invertedFlag(defaults, kSideBarVisible);
}
Result<void> setSideBarVisible(bool visible, UserDefaults& defaults) {
  return setInvertedFlag(defaults, kSideBarVisible, visible);
}

bool overlayIconVisible(const UserDefaults& defaults) {
  return invertedFlag(defaults, kOverlayIconVisible);
}
Result<void> setOverlayIconVisible(bool visible, UserDefaults& defaults) {
  return setInvertedFlag(defaults, kOverlayIconVisible, visible);
}

bool soundEffects(const UserDefaults& defaults) { return invertedFlag(defaults, kSoundEffects); }
Result<void> setSoundEffects(bool enabled, UserDefaults& defaults) {
  return setInvertedFlag(defaults, kSoundEffects, enabled);
}

bool menuBarVisible(const UserDefaults& defaults) {
  return invertedFlag(defaults, kMenuBarVisible);
}
Result<void> setMenuBarVisible(bool visible, UserDefaults& defaults) {
  return setInvertedFlag(defaults, kMenuBarVisible, visible);
}

bool onboardingPresented(const UserDefaults& defaults) {
  return defaults.boolean(kOnboardingPresented).value_or(false);
}
Result<void> setOnboardingPresented(bool presented, UserDefaults& defaults) {
  return defaults.set(kOnboardingPresented, presented);
}

}  // namespace tessra::settings_keys
