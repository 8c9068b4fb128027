#include "Tessra/prompt_input/attachment_types.h"

#include <QMimeDatabase>
#include <QString>

#include <array>
#include <vector>

namespace tessra::supported_types {

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

}  // namespace tessra::supported_types
