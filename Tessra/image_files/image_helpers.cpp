#include "Tessra/image_files/image_helpers.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <system_error>

#include "Tessra/storage/paths.h"
#include "files/data_io.h"
#include "platform/foundation/atomic_file.h"
#include "platform/foundation/error.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

// JPEG has no transparency: a transparent pixel is shown as it would be on a white page.
QImage opaque(const QImage& image) {
  if (!image.hasAlphaChannel()) return image;
  QImage flat(image.size(), QImage::Format_RGB32);
  flat.fill(Qt::white);
  QPainter painter(&flat);
  painter.drawImage(0, 0, image);
  return flat;
}

QImage scaledToFit(const QImage& image, double maxDimension) {
  const double ratio = std::min(maxDimension / image.width(), maxDimension / image.height());
  const int width = std::max(1, static_cast<int>(std::lround(image.width() * ratio)));
  const int height = std::max(1, static_cast<int>(std::lround(image.height() * ratio)));
  return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

std::size_t rasterByteCount(const QImage& image) {
  return static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()) * 4;
}

std::optional<Bytes> jpegData(const QImage& image, int quality) {
  if (image.isNull()) return std::nullopt;
  QByteArray encoded;
  QBuffer buffer(&encoded);
  buffer.open(QIODevice::WriteOnly);
  if (!opaque(image).save(&buffer, "JPEG", quality)) return std::nullopt;
  return Bytes(encoded.begin(), encoded.end());
}

std::optional<CompressedImage> compressed(const std::optional<QImage>& image,
                                          std::optional<double> maxDimension, double maxMegabytes) {
  if (!image || image->isNull()) return std::nullopt;
  const QImage scaled = maxDimension ? scaledToFit(*image, *maxDimension) : *image;
  if (scaled.isNull()) return std::nullopt;
  const double budget = maxMegabytes * 1024 * 1024;

  const std::size_t rasterBytes = rasterByteCount(scaled);
  if (static_cast<double>(rasterBytes) <= budget) return CompressedImage{scaled, 0, rasterBytes};

  // The factors are stepped by subtraction, as the budget rule was first written: nine
  // encodings, the last at a hair above 0.2.
  std::optional<Bytes> last;
  std::size_t encodings = 0;
  for (double factor = 1.0; factor >= 0.2; factor -= 0.1) {
    if (last && static_cast<double>(last->size()) <= budget) break;
    const int quality = static_cast<int>(std::lround(factor * 100));
    if (std::optional<Bytes> jpeg = jpegData(scaled, quality)) last = std::move(jpeg);
    ++encodings;
  }
  if (!last) return std::nullopt;
  QImage decoded;
  if (!decoded.loadFromData(last->data(), static_cast<int>(last->size()), "JPEG"))
    return std::nullopt;
  return CompressedImage{std::move(decoded), encodings, last->size()};
}

std::optional<std::string> saveAsJPEGFile(const QImage& image, const files::Path& folder) {
  const std::optional<Bytes> jpeg = jpegData(image);
  if (!jpeg) return std::nullopt;
  try {
    platform::createPrivateFolders(folder.systemText());
  } catch (const std::system_error& error) {
    // The write below reports what matters.
    platform::logDebug("Cannot create {}: {}", folder.rawValue(), error.what());
  }
  const files::Path path = folder + (platform::makeUuidString() + ".jpg");
  try {
    files::writeData(path, *jpeg, files::DataWritingOptions::atomic);
  } catch (const Error& error) {
    platform::logError("Cannot save the image: {}", error.debugDescription());
    return std::nullopt;
  }
  return path.url();
}

std::optional<std::string> saveAsJPEGFile(const QImage& image) {
  return saveAsJPEGFile(image, Paths::filesDirectory());
}

std::optional<std::string> jpegBase64String(const QImage& image) {
  const std::optional<Bytes> jpeg = jpegData(image);
  if (!jpeg) return std::nullopt;
  return platform::base64Encode(*jpeg);
}

bool isSupportedAttachmentFile(std::string_view url) {
  // Every extension of each image type, not only the preferred one: a JPEG is as often .jpg.
  static constexpr std::array<std::string_view, 12> kExtensions = {
      "webp", "avif", "heic", "heif", "bmp", "tiff", "tif", "png", "jpeg", "jpg", "jpe", "gif"};
  const std::size_t slash = url.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? url : url.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos && dot != 0) {
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end())
      return true;
  }
  // A local file without a known extension counts by what it holds.
  const QUrl parsed = QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
  const QString path = parsed.isLocalFile() ? parsed.toLocalFile()
                       : parsed.scheme().isEmpty()
                           ? QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))
                           : QString();
  if (path.isEmpty() || !QFileInfo(path).isFile()) return false;
  static constexpr std::array<std::string_view, 8> kFormats = {"webp", "avif", "heic", "heif",
                                                               "bmp",  "tiff", "png",  "jpeg"};
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format();
  return format == "gif" ||
         std::find(kFormats.begin(), kFormats.end(),
                   std::string_view(format.constData(), format.size())) != kFormats.end();
}

}  // namespace tessra
