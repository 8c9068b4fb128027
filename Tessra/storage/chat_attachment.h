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
#include <variant>

#include "platform/foundation/base64.h"
#include "platform/foundation/shared_text.h"

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
  // The user may edit it in the preview. Shared by the copies of the attachment and by the
  // question file made from it: it may be a paste of many megabytes.
  std::optional<platform::SharedText> text;
  std::optional<std::string> fileName;

  bool operator==(const ChatAttachment&) const = default;
};

// An image offered as an attachment that cannot be read: damaged, or too large to decode (one of
// 20,000 x 20,000 pixels). Nothing is attached, and the user is told.
struct UnreadableImage {
  // What it was, for the log: where it came from and, when its header tells, its size.
  std::string description;

  bool operator==(const UnreadableImage&) const = default;
};

// What a paste, a drop or the file picker offers: nothing (a paste then goes in as text), an
// attachment, or an image that cannot be attached.
using AttachmentOffer = std::variant<std::monostate, ChatAttachment, UnreadableImage>;

}  // namespace tessra

template <>
struct std::hash<tessra::ChatAttachment> {
  std::size_t operator()(const tessra::ChatAttachment& attachment) const noexcept;
};
