// The settings kept in the user defaults, one row each: the key, the type and stored form with
// what an absent or unreadable value reads as, and what a change sets off (Tessra/storage/
// setting.h). Nothing else reads or writes these keys.
//
//   UserSettings::shared().value(setting::popupPosition);
//   UserSettings::shared().setValue(setting::soundEffectEnabled, false);  // stores 1
//   settings.onValueChanged(setting::popupPosition, view, &View::moveToEdge);
//
// A new setting is one row here; the settings object reads, changes and announces it through
// the row, and a settings page shows it by binding a row of its own to it
// (Tessra/settings/form_support.h). Keys, forms and readings are what existing defaults files
// hold: they never change.
#pragma once

#include <string>

#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/setting.h"
#include "Tessra/storage/settings_enums.h"

namespace tessra::setting {

// Without the tray icon the side button is the only way left to open the panel: hiding the icon
// turns the button on (stored, signalled and posted as its own change).
void keepTheSideButtonWithoutTheTrayIcon(UserSettings& settings, const bool& trayIconVisible);

// The interface language, as its code ("de"); absent, or any other text (a known code in another
// letter case included), reads as `system`. Choosing it again asks for no restart.
inline constexpr Setting<AppLanguage> appLanguage{
    .key = "appLanguage",
    .stored = kRawValue<appLanguageFromRawValue, AppLanguage::system>,
    .notification = notification_names::kAppLanguageChanged,
    .unchanged = WhenUnchanged::signalsOnly,
};

// Whether the panel plays its sound as it slides in.
inline constexpr Setting<bool> soundEffectEnabled{
    .key = "soundEffects",
    .stored = kInvertedFlag,
};

// Whether the tray shows the program's icon.
inline constexpr Setting<bool> menuBarVisible{
    .key = "menuBarVisible",
    .stored = kInvertedFlag,
    .notification = notification_names::kMenuBarVisibilityChanged,
    .then = keepTheSideButtonWithoutTheTrayIcon,
};

// Whether the side button stands at the screen edge.
inline constexpr Setting<bool> overlayIconVisible{
    .key = "overlayIconVisible",
    .stored = kInvertedFlag,
    .notification = notification_names::kOverlayVisibilityChanged,
};

// The edge the panel slides in from; an integer outside 0 to 3 reads as `right`.
inline constexpr Setting<PopupPosition> popupPosition{
    .key = "popupWindowPosition",
    .stored = kRawValue<popupPositionFromRawValue, PopupPosition::right>,
    .notification = notification_names::kFloatingWindowPositionDidChanged,
};

// The panel's width step; absent reads as `extraSmall`, but an integer outside 0 to 5 as
// `medium`.
inline constexpr Setting<FloatingWindowSize> floatingWindowSize{
    .key = "window-size",
    .stored = kRawValue<floatingWindowSizeFromRawValue, FloatingWindowSize::medium>,
    .notification = notification_names::kFloatingWindowSizeDidChanged,
};

// The panel's vertical padding; an integer outside 0 to 5 reads as `none`.
inline constexpr Setting<FloatingWindowPadding> popupPadding{
    .key = "popupPadding",
    .stored = kRawValue<floatingWindowPaddingFromRawValue, FloatingWindowPadding::none>,
    .notification = notification_names::kFloatingWindowSizeDidChanged,
};

// Whether the chat windows show their conversation list. The pane and the panel's width both
// report one change, so the same value again does nothing.
inline constexpr Setting<bool> sideBarVisible{
    .key = "sideBarVisible",
    .stored = kInvertedFlag,
    .unchanged = WhenUnchanged::ignored,
};

// Whether the first start's onboarding has been shown.
inline constexpr Setting<bool> onboardingPresented{
    .key = "onboardingPresented",
    .stored = kBoolean,
};

// The model of every conversation that names none, by its raw value ("gpt4o"); absent or
// unknown text (an API name included) reads as `gpt4`.
inline constexpr Setting<ChatGPTModels> openAiModel{
    .key = "open-ai-model",
    .stored = kRawValue<chatGPTModelFromRawValue, ChatGPTModels::gpt4>,
};

// A host for the service in place of the standard one; nothing in the program writes it.
inline constexpr Setting<std::string> openAiCustomHost{
    .key = "open-ai-custom-host",
    .stored = kText,
};

}  // namespace tessra::setting
