// The typed accessors of every setting kept in the user defaults. Nothing else reads or writes
// these keys.
//
//   const FloatingWindowSize size = settings_keys::floatingWindowSize();
//   settings_keys::setSideBarVisible(false);  // stores 1 under "sideBarVisible"
//
// Reads never fail and never write: an absent key, or a value of another type, reads as the
// default of its row. Nothing registers defaults; every default is what an absent key reads as.
// The four flags that default to on (`sideBarVisible`, `overlayIconVisible`, `soundEffects`,
// `menuBarVisible`) are stored as integers in which 0 means on. Writes store the value and
// nothing else: no notification, no validation (the settings object posts the notifications). A
// write whose file cannot be written keeps the value in memory, is logged by the defaults, and
// returns the error.
//
// Every accessor takes the defaults suite to use, the standard one unless a test gives another.
// The suite is thread-safe; the settings themselves are used on the GUI thread.
#pragma once

#include <string>
#include <string_view>

#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/settings_enums.h"
#include "platform/foundation/error.h"
#include "platform/foundation/user_defaults.h"

namespace tessra::settings_keys {

using platform::UserDefaults;

inline constexpr std::string_view kOpenAICustomHost = "open-ai-custom-host";
inline constexpr std::string_view kOpenAIModel = "open-ai-model";
inline constexpr std::string_view kPopupWindowPosition = "popupWindowPosition";
inline constexpr std::string_view kFloatingWindowSize = "window-size";
inline constexpr std::string_view kPopupPadding = "popupPadding";
inline constexpr std::string_view kAppLanguage = "appLanguage";
inline constexpr std::string_view kSideBarVisible = "sideBarVisible";
inline constexpr std::string_view kOverlayIconVisible = "overlayIconVisible";
inline constexpr std::string_view kSoundEffects = "soundEffects";
inline constexpr std::string_view kMenuBarVisible = "menuBarVisible";
inline constexpr std::string_view kOnboardingPresented = "onboardingPresented";

// "" when absent. Nothing in the program writes it.
std::string openAICustomHost(const UserDefaults& defaults = UserDefaults::standard());

// The raw value of a model; absent or unknown text (an API name included) reads as `gpt4`.
ChatGPTModels openAIModel(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setOpenAIModel(ChatGPTModels model,
                                          UserDefaults& defaults = UserDefaults::standard());

// Absent reads as `right`; an integer outside 0 to 3 as `right`.
PopupPosition popupWindowPosition(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setPopupWindowPosition(
    PopupPosition position, UserDefaults& defaults = UserDefaults::standard());

// Absent reads as `extraSmall`, but an integer outside 0 to 5 as `medium`.
FloatingWindowSize floatingWindowSize(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setFloatingWindowSize(FloatingWindowSize size,
                                                 UserDefaults& defaults = UserDefaults::standard());

// Absent, or an integer outside 0 to 5, reads as `none`.
FloatingWindowPadding popupPadding(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setPopupPadding(FloatingWindowPadding padding,
                                           UserDefaults& defaults = UserDefaults::standard());

// The code text; absent or any other text (a known code in another letter case included) reads
// as `system`.
AppLanguage appLanguage(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setAppLanguage(AppLanguage language,
                                          UserDefaults& defaults = UserDefaults::standard());

// Inverted flags: true when the integer is 0 or absent; writing true stores 0, false stores 1.
bool sideBarVisible(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setSideBarVisible(bool visible,
                                             UserDefaults& defaults = UserDefaults::standard());
bool overlayIconVisible(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setOverlayIconVisible(bool visible,
                                                 UserDefaults& defaults = UserDefaults::standard());
bool soundEffects(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setSoundEffects(bool enabled,
                                           UserDefaults& defaults = UserDefaults::standard());
bool menuBarVisible(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setMenuBarVisible(bool visible,
                                             UserDefaults& defaults = UserDefaults::standard());

// A boolean; absent reads as false.
bool onboardingPresented(const UserDefaults& defaults = UserDefaults::standard());
[[nodiscard]] Result<void> setOnboardingPresented(
    bool presented, UserDefaults& defaults = UserDefaults::standard());

// The shared reading and writing of an inverted flag.
bool invertedFlag(const UserDefaults& defaults, std::string_view key);
[[nodiscard]] Result<void> setInvertedFlag(UserDefaults& defaults, std::string_view key,
                                           bool value);

}  // namespace tessra::settings_keys
