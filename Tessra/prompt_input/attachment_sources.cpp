#include "Tessra/prompt_input/attachment_sources.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeData>

#include <algorithm>
#include <expected>
#include <string>
#include <utility>
#include <variant>

#include "Tessra/image_files/image_helpers.h"
#include "Tessra/prompt_input/attachment_image.h"
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

// Why an image does not decode, for the log: what it was, its size when its header tells it,
// and the reader's reason.
UnreadableImage unreadable(const QString& what, QSize size, const QString& reason) {
  std::string description = what.toStdString();
  if (size.isValid())
    description +=
        " of " + std::to_string(size.width()) + " x " + std::to_string(size.height()) + " pixels";
  description += ": " + reason.toStdString();
  platform::logInfo("Could not attach the image {}", description);
  return UnreadableImage{std::move(description)};
}

// The image of `reader`, or why it cannot be read. The size comes from the header alone, so an
// image too large to decode is told by its size.
std::expected<QImage, UnreadableImage> readImage(QImageReader& reader, const QString& what) {
  const QSize size = reader.size();
  QImage image;
  if (reader.read(&image)) return image;
  return std::unexpected(unreadable(what, size, reader.errorString()));
}

AttachmentOffer imageOffer(const std::expected<QImage, UnreadableImage>& image,
                           std::optional<std::string> fileName) {
  if (!image) return image.error();
  if (std::optional<ChatAttachment> attachment = imageAttachment(*image, std::move(fileName)))
    return *attachment;
  return UnreadableImage{"an image that cannot be encoded as JPEG"};
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

ChatAttachment textAttachment(std::string text, std::optional<std::string> fileName) {
  return ChatAttachment{nullptr, std::move(text), std::move(fileName)};
}

// A file of an image type as its image, or as unreadable; nothing for a file of another type.
AttachmentOffer imageFileOffer(const QString& path, std::optional<std::string> fileName) {
  if (!isSupportedAttachmentFile(path.toStdString())) return {};
  QImageReader reader(path);
  return imageOffer(readImage(reader, QFileInfo(path).fileName()), std::move(fileName));
}

AttachmentOffer fileOffer(const QString& path, std::optional<std::string> fileName) {
  AttachmentOffer image = imageFileOffer(path, fileName);
  if (!std::holds_alternative<std::monostate>(image)) return image;
  if (std::optional<std::string> text = textFile(path))
    return textAttachment(std::move(*text), std::move(fileName));
  return {};
}

// Whether a clipboard or a drop holds image data: Qt's image, or the bytes of an image type as
// other programs offer them.
bool offersImage(const QMimeData& mime) {
  if (mime.hasImage()) return true;
  const QStringList formats = mime.formats();
  return std::any_of(formats.begin(), formats.end(),
                     [](const QString& format) { return format.startsWith(u"image/"); });
}

// The image data of a clipboard or a drop. Qt's own conversion only says "no image" for one it
// cannot decode, so the bytes of the first image type are read again to tell why.
AttachmentOffer rawImageOffer(const QMimeData& mime, std::optional<std::string> fileName) {
  const QImage image = mime.hasImage() ? qvariant_cast<QImage>(mime.imageData()) : QImage();
  if (!image.isNull()) return imageOffer(image, std::move(fileName));
  for (const QString& format : mime.formats()) {
    if (!format.startsWith(u"image/")) continue;
    QByteArray bytes = mime.data(format);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    return imageOffer(readImage(reader, QStringLiteral("copied as ") + format),
                      std::move(fileName));
  }
  return unreadable(QStringLiteral("copied"), QSize(), QStringLiteral("no image data"));
}

}  // namespace

bool offersAttachment(const QMimeData* mime) {
  return mime && (mime->hasUrls() || offersImage(*mime) || mime->hasText());
}

AttachmentOffer fromPasteboard(const QMimeData* mime) {
  if (!mime) return {};
  const QList<QUrl> urls = mime->urls();
  // The first image file wins, even when other files come before it.
  for (const QUrl& url : urls) {
    const std::optional<QString> path = localRegularFile(url);
    if (!path || !isSupportedAttachmentFile(path->toStdString())) continue;
    return imageFileOffer(*path, lastPathComponent(*path));
  }
  if (!urls.isEmpty()) {
    if (const std::optional<QString> path = localRegularFile(urls.front())) {
      if (std::optional<std::string> text = textFile(*path))
        return textAttachment(std::move(*text), lastPathComponent(*path));
    }
  } else if (offersImage(*mime)) {
    AttachmentOffer image = rawImageOffer(*mime, kPasteboardFileName);
    // A copy that also holds text pastes the text when its image cannot be read.
    if (std::holds_alternative<ChatAttachment>(image) || !mime->hasText()) return image;
  }
  if (!mime->hasText()) return {};
  const QString text = mime->text();
  if (text.size() <= kMaxPastedTextLength) {
    const auto breaks =
        std::count_if(text.begin(), text.end(), [](QChar c) { return isLineBreak(c.unicode()); });
    if (static_cast<std::size_t>(breaks) + 1 <= kMaxPastedTextPieces) return {};
  }
  return textAttachment(text.toStdString(), kLongTextFileName);
}

std::unique_ptr<QMimeData> copyForPaste(const QMimeData* source) {
  auto copy = std::make_unique<QMimeData>();
  if (!source) return copy;
  // Only what the source listed is fetched: every fetch may be the last the owner serves.
  const QStringList formats = source->formats();
  if (formats.contains(u"text/uri-list")) copy->setUrls(source->urls());
  if (source->hasImage()) {
    if (const QVariant image = source->imageData(); !qvariant_cast<QImage>(image).isNull())
      copy->setImageData(image);
  }
  // An image that Qt cannot decode keeps its bytes, which tell why.
  if (!copy->hasImage()) {
    const auto raw = std::find_if(formats.begin(), formats.end(), [](const QString& format) {
      return format.startsWith(u"image/");
    });
    if (raw != formats.end()) copy->setData(*raw, source->data(*raw));
  }
  if (source->hasText()) copy->setText(source->text());
  return copy;
}

AttachmentOffer fromFileImportResult(const std::expected<QList<QUrl>, QString>& result) {
  if (!result) {
    platform::Logger::shared().log(platform::LogLevel::fault,
                                   "Error selecting file: " + result.error().toStdString());
    return {};
  }
  if (result->isEmpty()) return {};
  const std::optional<QString> path = localRegularFile(result->front());
  if (!path) return {};
  return fileOffer(*path, lastPathComponent(*path));
}

AttachmentOffer fromDrop(const QMimeData* mime) {
  if (!mime) return {};
  // A dropped file is read as itself; its URL is not the text the user meant to attach.
  if (const QList<QUrl> urls = mime->urls(); !urls.isEmpty() && urls.front().isLocalFile()) {
    const std::optional<QString> path = localRegularFile(urls.front());
    return path ? fileOffer(*path, lastPathComponent(*path)) : AttachmentOffer{};
  }
  if (offersImage(*mime)) {
    AttachmentOffer image = rawImageOffer(*mime, std::nullopt);
    if (std::holds_alternative<ChatAttachment>(image) || !mime->hasText()) return image;
  }
  if (!mime->hasText()) return {};
  return textAttachment(mime->text().toStdString(), std::nullopt);
}

}  // namespace tessra
