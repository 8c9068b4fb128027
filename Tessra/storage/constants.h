// The program-wide constants: the names of the notifications by which windows that do not hold
// each other talk, the content types attachments accept, the location of the "pop" sound and the
// check for a design-time preview run. Each is made once, on first use (thread-safe), and never
// changes.
//
//   auto token = NotificationCenter::defaultCenter().addObserver(
//       std::string(notification_names::kMenuBarVisibilityChanged), handler);
#pragma once

#include <QString>

#include <span>
#include <string_view>

namespace tessra {

// Each name's text is the constant's name, letter for letter.
namespace notification_names {
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
}  // namespace notification_names

// A content type an attachment may have: the uniform type's name and the MIME type the desktop
// knows it by.
struct ContentType {
  std::string_view name;
  std::string_view mimeType;

  bool operator==(const ContentType&) const = default;
};

namespace supported_types {
// webP, AVIF (only when the desktop's MIME database knows "image/avif"), heic, bmp, tiff, png,
// jpeg, gif.
std::span<const ContentType> images();
// The 24 text types, from plainText to log.
std::span<const ContentType> textFiles();
}  // namespace supported_types

namespace sounds {
// The "pop" sound among the program's resources.
const QString& popUrl();
}  // namespace sounds

namespace app_environment {
// True exactly when the environment holds "XCODE_RUNNING_FOR_PREVIEWS" with the value "1".
bool isRunningForPreviews();
}  // namespace app_environment

}  // namespace tessra
