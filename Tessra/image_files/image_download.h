// Downloading an image by its address and keeping it as a JPEG file in the attachment files
// folder; the image tool of the chat engine stores generated images this way.
//
//   platform::UrlTask task = downloadImage(url, [](Result<DownloadedImage> got) { ... });
//   task.cancel();  // nothing is reported once this returns
//
// The completion runs once, on the delegate queue of the process-wide URL session (at once, on
// the caller's thread, for a text that is no URL).
#pragma once

#include <QImage>

#include <functional>
#include <optional>
#include <string>

#include "files/path.h"
#include "platform/foundation/error.h"
#include "platform/foundation/url_session.h"

namespace tessra {

// The answer to a download was not a web answer with the status 200.
class BadServerResponseError : public Error {
 public:
  explicit BadServerResponseError(int statusCode);
  int statusCode() const { return m_statusCode; }

 private:
  int m_statusCode;
};

// The body of a download is no image that can be shown: not an image at all, damaged, or too
// large to decode (a picture of 30,000 x 30,000 pixels). `what()` says which, in words the model
// that asked for the image can pass on.
class UnreadableImageError : public Error {
 public:
  explicit UnreadableImageError(std::string reason);
};

// What a download gave: the image and the file it was stored in; the file is absent when the
// image could not be written.
struct DownloadedImage {
  std::optional<QImage> image;
  std::optional<std::string> fileUrl;
};

using DownloadCompletion = std::function<void(Result<DownloadedImage>)>;

// Fetches `url` and stores the image with `saveAsJPEGFile` in `folder`. Fails with the text
// "Invalid url: " and the text when it is no URL, with the transport's error (a body past 32 MB
// among them), with `BadServerResponseError` for any status but 200, or with
// `UnreadableImageError` for a body that does not decode.
platform::UrlTask downloadImage(const std::string& url, const files::Path& folder,
                                DownloadCompletion completion);
// The same into the program's attachment files folder.
platform::UrlTask downloadImage(const std::string& url, DownloadCompletion completion);

}  // namespace tessra
