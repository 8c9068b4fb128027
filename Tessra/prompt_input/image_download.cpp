#include "Tessra/prompt_input/image_download.h"

#include <QUrl>

#include <cstddef>
#include <utility>

#include "Tessra/prompt_input/image_helpers.h"
#include "Tessra/storage/paths.h"

namespace tessra {

namespace {

// A generated picture takes a few megabytes; no image worth showing comes near this.
constexpr std::size_t kMaximumImageBytes = std::size_t{32} << 20;

}  // namespace

BadServerResponseError::BadServerResponseError(int statusCode)
    : Error("Bad server response", "HTTP " + std::to_string(statusCode)),
      m_statusCode(statusCode) {}

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
        QImage image;
        const Bytes& body = answer->body;
        if (!image.loadFromData(body.data(), static_cast<int>(body.size()))) {
          completion(DownloadedImage{});
          return;
        }
        std::optional<std::string> file = saveAsJPEGFile(image, folder);
        completion(DownloadedImage{std::move(image), std::move(file)});
      });
  task.resume();
  return task;
}

platform::UrlTask downloadImage(const std::string& url, DownloadCompletion completion) {
  return downloadImage(url, Paths::filesDirectory(), std::move(completion));
}

}  // namespace tessra
