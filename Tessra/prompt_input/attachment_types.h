// The content types an attachment may have, which the file picker offers: each by its uniform
// type's name and the MIME type the desktop knows it by. Each list is made once, on first use
// (thread-safe), and never changes.
#pragma once

#include <span>
#include <string_view>

namespace tessra {

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

}  // namespace tessra
