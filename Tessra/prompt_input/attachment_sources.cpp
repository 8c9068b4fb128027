#include "Tessra/prompt_input/attachment_sources.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <algorithm>

#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/image_helpers.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/utf8.h"

namespace tessra {

namespace {

// The path of a URL that names a local regular file; folders, links to the web and missing
// files give nothing.
std::optional<QString> localRegularFile(const QUrl& url) {
  if (!url.isLocalFile()) return std::nullopt;
  const QString path = url.toLocalFile();
  if (!QFileInfo(path).isFile()) return std::nullopt;
  return path;
}

std::string lastPathComponent(const QString& path) {
  return QFileInfo(path).fileName().toStdString();
}

std::optional<QImage> imageFile(const QString& path) {
  if (!isSupportedAttachmentFile(path.toStdString())) return std::nullopt;
  QImage image(path);
  if (image.isNull()) return std::nullopt;
  return image;
}

std::optional<std::string> textFile(const QString& path) {
  QFile file(path);
  if (file.size() > static_cast<qint64>(kMaxTextFileBytes)) return std::nullopt;
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (!platform::isValidUtf8(text)) return std::nullopt;
  return text;
}

bool isLineBreak(char16_t c) {
  return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::optional<ChatAttachment> textAttachment(std::string text,
                                             std::optional<std::string> fileName) {
  return ChatAttachment{nullptr, std::move(text), std::move(fileName)};
}

std::optional<ChatAttachment> fileAttachment(const QString& path,
                                             std::optional<std::string> fileName) {
  if (std::optional<QImage> image = imageFile(path)) return imageAttachment(*image, fileName);
  if (std::optional<std::string> text = textFile(path))
    return textAttachment(std::move(*text), fileName);
  return std::nullopt;
}

}  // namespace

std::optional<ChatAttachment> fromPasteboard(const QMimeData* mime) {
  if (!mime) return std::nullopt;
  const QList<QUrl> urls = mime->urls();
  // The first image file wins, even when other files come before it.
  for (const QUrl& url : urls) {
    const std::optional<QString> path = localRegularFile(url);
    if (!path || !isSupportedAttachmentFile(path->toStdString())) continue;
    if (std::optional<QImage> image = imageFile(*path))
      return imageAttachment(*image, lastPathComponent(*path));
    break;
  }
  if (!urls.isEmpty()) {
    if (const std::optional<QString> path = localRegularFile(urls.front())) {
      if (std::optional<std::string> text = textFile(*path))
        return textAttachment(std::move(*text), lastPathComponent(*path));
    }
  } else if (mime->hasImage()) {
    const QImage image = qvariant_cast<QImage>(mime->imageData());
    if (!image.isNull()) return imageAttachment(image, kPasteboardFileName);
  }
  if (!mime->hasText()) return std::nullopt;
  const QString text = mime->text();
  const auto breaks =
      std::count_if(text.begin(), text.end(), [](QChar c) { return isLineBreak(c.unicode()); });
  if (static_cast<std::size_t>(breaks) + 1 <= kMaxPastedTextPieces) return std::nullopt;
  return textAttachment(text.toStdString(), kLongTextFileName);
}

std::optional<ChatAttachment> fromPasteboard() {
  return fromPasteboard(QGuiApplication::clipboard()->mimeData());
}

std::optional<ChatAttachment> fromFileImportResult(
    const std::expected<QList<QUrl>, QString>& result) {
  if (!result) {
    platform::Logger::shared().log(platform::LogLevel::fault,
                                   "Error selecting file: " + result.error().toStdString());
    return std::nullopt;
  }
  if (result->isEmpty()) return std::nullopt;
  const std::optional<QString> path = localRegularFile(result->front());
  if (!path) return std::nullopt;
  return fileAttachment(*path, lastPathComponent(*path));
}

std::optional<ChatAttachment> fromDrop(const QMimeData* mime) {
  if (!mime) return std::nullopt;
  // A dropped file is read as itself; its URL is not the text the user meant to attach.
  if (const QList<QUrl> urls = mime->urls(); !urls.isEmpty() && urls.front().isLocalFile()) {
    const std::optional<QString> path = localRegularFile(urls.front());
    return path ? fileAttachment(*path, lastPathComponent(*path)) : std::nullopt;
  }
  if (mime->hasImage()) {
    const QImage image = qvariant_cast<QImage>(mime->imageData());
    if (!image.isNull()) return imageAttachment(image, std::nullopt);
  }
  if (!mime->hasText()) return std::nullopt;
  return textAttachment(mime->text().toStdString(), std::nullopt);
}

}  // namespace tessra
