#include "Tessra/prompt_input/attachment_image.h"

#include "Tessra/image_files/image_helpers.h"

namespace tessra {

ImageHandle makeImageHandle(const QImage& image) {
  std::optional<Bytes> jpeg = jpegData(image);
  if (!jpeg) return nullptr;
  return std::make_shared<const EncodedImage>(
      EncodedImage{std::move(*jpeg), image.width(), image.height()});
}

std::optional<ChatAttachment> imageAttachment(const QImage& image,
                                              std::optional<std::string> fileName) {
  ImageHandle handle = makeImageHandle(image);
  if (!handle) return std::nullopt;
  return ChatAttachment{std::move(handle), std::nullopt, std::move(fileName)};
}

QImage decodedImage(const ImageHandle& image) {
  if (!image) return {};
  return QImage::fromData(image->jpeg.data(), static_cast<int>(image->jpeg.size()), "JPEG");
}

}  // namespace tessra
