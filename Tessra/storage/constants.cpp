#include "Tessra/storage/constants.h"

#include <QMimeDatabase>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tessra {

namespace notification_names {

std::span<const std::string_view> all() {
  static constexpr std::array<std::string_view, 12> kAll = {
      kWillHideGptWindow,
      kConversationListDidChanged,
      kConversationSettingDidChanged,
      kFocusOnPromptInput,
      kChatTextFieldCompletionCommandUp,
      kChatTextFieldCompletionCommandDown,
      kAppLanguageChanged,
      kWillResizeGptWindow,
      kFloatingWindowPositionDidChanged,
      kFloatingWindowSizeDidChanged,
      kMenuBarVisibilityChanged,
      kOverlayVisibilityChanged,
  };
  return kAll;
}

}  // namespace notification_names

namespace supported_types {

namespace {
constexpr ContentType kAvif{"public.avif", "image/avif"};
}  // namespace

std::span<const ContentType> images() {
  static const std::vector<ContentType> kImages = [] {
    std::vector<ContentType> types{{"webP", "image/webp"}};
    if (QMimeDatabase().mimeTypeForName(QString::fromUtf8(kAvif.mimeType)).isValid())
      types.push_back(kAvif);
    const std::array<ContentType, 6> rest = {{{"heic", "image/heic"},
                                              {"bmp", "image/bmp"},
                                              {"tiff", "image/tiff"},
                                              {"png", "image/png"},
                                              {"jpeg", "image/jpeg"},
                                              {"gif", "image/gif"}}};
    types.insert(types.end(), rest.begin(), rest.end());
    return types;
  }();
  return kImages;
}

std::span<const ContentType> textFiles() {
  static constexpr std::array<ContentType, 24> kTextFiles = {{
      {"plainText", "text/plain"},
      {"utf8PlainText", "text/plain"},
      {"utf16PlainText", "text/plain"},
      {"yaml", "application/x-yaml"},
      {"xml", "application/xml"},
      {"json", "application/json"},
      {"html", "text/html"},
      {"sourceCode", "text/x-csrc"},
      {"swiftSource", "text/x-swift"},
      {"cSource", "text/x-csrc"},
      {"cHeader", "text/x-chdr"},
      {"objectiveCSource", "text/x-objcsrc"},
      {"objectiveCPlusPlusSource", "text/x-objc++src"},
      {"cPlusPlusSource", "text/x-c++src"},
      {"pythonScript", "text/x-python3"},
      {"perlScript", "application/x-perl"},
      {"phpScript", "application/x-php"},
      {"shellScript", "application/x-shellscript"},
      {"assemblyLanguageSource", "text/x-asm"},
      {"script", "application/x-executable-script"},
      {"rubyScript", "application/x-ruby"},
      {"javaScript", "application/javascript"},
      {"appleScript", "application/x-applescript"},
      {"log", "text/x-log"},
  }};
  return kTextFiles;
}

}  // namespace supported_types

namespace app_colors {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

QColor colorFromHex(std::string_view hex) {
  while (!hex.empty() && isSpace(hex.front())) hex.remove_prefix(1);
  while (!hex.empty() && isSpace(hex.back())) hex.remove_suffix(1);
  if (hex.starts_with('#')) hex.remove_prefix(1);
  // A text that is not one hexadecimal number reads as 0; more than 16 digits do not fit.
  std::uint64_t value = 0;
  if (hex.empty() || hex.size() > 16) return QColor::fromRgb(0, 0, 0);
  for (char c : hex) {
    const int digit = hexDigit(c);
    if (digit < 0) return QColor::fromRgb(0, 0, 0);
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return QColor::fromRgb(static_cast<int>((value >> 16) & 0xff),
                         static_cast<int>((value >> 8) & 0xff), static_cast<int>(value & 0xff));
}

std::span<const QColor> all() {
  static const std::vector<QColor> kColors = [] {
    std::vector<QColor> colors;
    for (std::string_view hex : kHexTexts) colors.push_back(colorFromHex(hex));
    return colors;
  }();
  return kColors;
}

}  // namespace app_colors

namespace sounds {

const QString& popUrl() {
  static const QString kUrl = QStringLiteral("qrc:/sounds/pop.wav");
  return kUrl;
}

}  // namespace sounds

namespace app_environment {

bool isRunningForPreviews() {
  const char* value = std::getenv("XCODE_RUNNING_FOR_PREVIEWS");
  return value != nullptr && std::string_view(value) == "1";
}

}  // namespace app_environment

}  // namespace tessra
