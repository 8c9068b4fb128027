// The image of an attachment: made once from the pixels as the shared JPEG handle every later
// step (chip, preview, message file, request) reads, transparency flattened over white.
#pragma once

#include <QImage>

#include <optional>
#include <string>

#include "Tessra/storage/chat_attachment.h"

namespace tessra {

// The JPEG handle of the image; null for a null image or one that cannot be encoded.
ImageHandle makeImageHandle(const QImage& image);

// An image attachment without text; absent when the image cannot be encoded.
std::optional<ChatAttachment> imageAttachment(const QImage& image,
                                              std::optional<std::string> fileName);

// The pixels of a handle, for drawing; null when there is none.
QImage decodedImage(const ImageHandle& image);

}  // namespace tessra
