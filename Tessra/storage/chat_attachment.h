// The file attached to the question being typed and not yet sent: an image or a piece of text,
// with the name it is shown under. It lives only in memory; the prompt input makes it, the chat
// window keeps one and turns it into the message's question file when the question is sent.
//
// The image is an immutable shared handle made by the UI layer (JPEG bytes and pixel size).
// Copying an attachment shares the image; two attachments are equal when they hold the same
// image handle (or none) and equal texts and names.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/base64.h"

namespace tessra {

struct EncodedImage {
  Bytes jpeg;
  int width = 0;
  int height = 0;
};

using ImageHandle = std::shared_ptr<const EncodedImage>;

struct ChatAttachment {
  // Set at creation only.
  ImageHandle image;
  // The user may edit it in the preview.
  std::optional<std::string> text;
  std::optional<std::string> fileName;

  bool operator==(const ChatAttachment&) const = default;
};

}  // namespace tessra

template <>
struct std::hash<tessra::ChatAttachment> {
  std::size_t operator()(const tessra::ChatAttachment& attachment) const noexcept;
};
