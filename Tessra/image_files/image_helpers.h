// Image and file helpers of the attachment path: shrinking an image under a byte budget, JPEG
// files in the attachment files folder, the Base64 text of a JPEG, downloading an image and the
// image types an attachment file may have.
//
//   std::optional<CompressedImage> thumb = compressed(image, 400, 0.25);
//   std::optional<std::string> url = thumb ? saveAsJPEGFile(thumb->image) : std::nullopt;
//
// Images are QImages in pixels (a pixel stands for a point); nothing here needs a display or the
// GUI thread. Every operation but `downloadImage` reports failure by an absent result.
#pragma once

#include <QImage>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "files/path.h"
#include "platform/foundation/base64.h"

namespace tessra {

// What `compressed` made: the image, and how many JPEG encodings it took (0 when the raster
// already fitted the budget).
struct CompressedImage {
  QImage image;
  std::size_t jpegEncodings = 0;
  // The byte count of the data the image was decoded from: the raster's, or the last JPEG's.
  std::size_t byteCount = 0;
};

// The byte count of an image's uncompressed representation (four bytes a pixel), the size that
// decides whether an image must be re-encoded at all.
std::size_t rasterByteCount(const QImage& image);

// The image scaled so that its longer side fits `maxDimension` (small images are enlarged), then
// re-encoded as JPEG at falling quality (1.0, 0.9, ... down to just above 0.2) until it is at
// most `maxMegabytes` x 1024 x 1024 bytes. An image whose raster already fits is returned
// without encoding; one that never fits comes back from the last JPEG, over budget. Every JPEG
// is encoded from the scaled pixels, never from the previous JPEG. Absent for no image or when
// nothing can be decoded.
std::optional<CompressedImage> compressed(const std::optional<QImage>& image,
                                          std::optional<double> maxDimension, double maxMegabytes);

// The JPEG bytes of the image at the encoder's default quality (transparency over white);
// absent when it cannot be encoded.
std::optional<Bytes> jpegData(const QImage& image, int quality = -1);

// Writes the image as a JPEG file named "<UUID>.jpg" into `folder` (created when missing),
// atomically, and returns the file's "file://" URL. A failure is logged and gives nothing.
std::optional<std::string> saveAsJPEGFile(const QImage& image, const files::Path& folder);
// The same into the program's attachment files folder.
std::optional<std::string> saveAsJPEGFile(const QImage& image);

// The Base64 text of the image's JPEG encoding, on one line; absent when it cannot be encoded.
std::optional<std::string> jpegBase64String(const QImage& image);

// True when the URL's or path's extension, lower-cased, is one of those of the image types
// attachments accept (webp, avif, heic/heif, bmp, tiff/tif, png, jpeg/jpg/jpe, gif), or when it
// names a local file whose content is an image of one of those types.
bool isSupportedAttachmentFile(std::string_view url);

}  // namespace tessra
