// The names of the notifications by which windows that do not hold each other talk, posted on
// `platform::NotificationCenter`, and the keys of their payloads. Each has one poster; the
// program's own windows mostly follow the store and the settings through their Qt signals, and
// these names stay for any listener that knows them.
//
//   auto token = NotificationCenter::defaultCenter().addObserver(
//       std::string(notification_names::kMenuBarVisibilityChanged), handler);
#pragma once

#include <span>
#include <string_view>

namespace tessra::notification_names {

// Each name's text is the constant's name, letter for letter.
inline constexpr std::string_view kWillHideGptWindow = "willHideGptWindow";
inline constexpr std::string_view kConversationListDidChanged = "conversationListDidChanged";
inline constexpr std::string_view kConversationSettingDidChanged = "conversationSettingDidChanged";
inline constexpr std::string_view kFocusOnPromptInput = "focusOnPromptInput";
inline constexpr std::string_view kChatTextFieldCompletionCommandUp =
    "chatTextFieldCompletionCommandUp";
inline constexpr std::string_view kChatTextFieldCompletionCommandDown =
    "chatTextFieldCompletionCommandDown";
inline constexpr std::string_view kAppLanguageChanged = "appLanguageChanged";
inline constexpr std::string_view kWillResizeGptWindow = "willResizeGptWindow";
inline constexpr std::string_view kFloatingWindowPositionDidChanged =
    "floatingWindowPositionDidChanged";
inline constexpr std::string_view kFloatingWindowSizeDidChanged = "floatingWindowSizeDidChanged";
inline constexpr std::string_view kMenuBarVisibilityChanged = "menuBarVisibilityChanged";
inline constexpr std::string_view kOverlayVisibilityChanged = "overlayVisibilityChanged";

// The twelve names in the order above.
std::span<const std::string_view> all();

// Payload keys of "focusOnPromptInput".
inline constexpr std::string_view kInputedTextKey = "inputedTextKey";
inline constexpr std::string_view kChatAttachmentKey = "chatAttachmentKey";

}  // namespace tessra::notification_names
