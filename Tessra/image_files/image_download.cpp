#include "Tessra/image_files/image_download.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QUrl>

#include <cstddef>
#include <utility>

#include "Tessra/image_files/image_helpers.h"
#include "Tessra/storage/paths.h"

namespace tessra {

namespace {

// A generated picture takes a few megabytes; no image worth showing comes near this.
constexpr std::size_t kMaximumImageBytes = std::size_t{32} << 20;

// The image of a body, or why it is none. The reader tells the size from the header alone, so
// an image too large to decode is told as such.
Result<QImage> decodedImage(const Bytes& body) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(body.data()),
                                             static_cast<qsizetype>(body.size()));
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  QImage image;
  if (reader.read(&image)) return image;
  const std::string reason =
      size.isValid()
          ? "the image of " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                " pixels could not be decoded (" + reader.errorString().toStdString() + ")"
          : "the answer was no image that can be shown (" + reader.errorString().toStdString() +
                ")";
  return std::unexpected(std::make_exception_ptr(UnreadableImageError(reason)));
}

}  // namespace

BadServerResponseError::BadServerResponseError(int statusCode)
    : Error("Bad server response", "HTTP " + std::to_string(statusCode)),
      m_statusCode(statusCode) {}

UnreadableImageError::UnreadableImageError(std::string reason) : Error(std::move(reason)) {}

platform::UrlTask downloadImage(const std::string& url, const files::Path& folder,
                                DownloadCompletion completion) {
  const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
  if (url.empty() || !parsed.isValid() || parsed.scheme().isEmpty()) {
    completion(std::unexpected(std::make_exception_ptr(TextError("Invalid url: " + url))));
    return {};
  }
  platform::UrlRequest request{.method = "GET", .url = url};
  request.followRedirects = true;
  request.maximumBodySize = kMaximumImageBytes;
  platform::UrlTask task = platform::UrlSession::shared().dataTask(
      std::move(request),
      [folder, completion = std::move(completion)](Result<platform::UrlData> answer) {
        if (!answer) {
          completion(std::unexpected(answer.error()));
          return;
        }
        if (answer->response.statusCode != 200) {
          completion(std::unexpected(
              std::make_exception_ptr(BadServerResponseError(answer->response.statusCode))));
          return;
        }
        Result<QImage> image = decodedImage(answer->body);
        if (!image) {
          completion(std::unexpected(image.error()));
          return;
        }
        std::optional<std::string> file = saveAsJPEGFile(*image, folder);
        completion(DownloadedImage{std::move(*image), std::move(file)});
      });
  task.resume();
  return task;
}

platform::UrlTask downloadImage(const std::string& url, DownloadCompletion completion) {
  return downloadImage(url, Paths::filesDirectory(), std::move(completion));
}

}  // namespace tessra
