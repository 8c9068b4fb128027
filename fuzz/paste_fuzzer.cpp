// What a paste or a drop offers the prompt, read as the program reads the clipboard and a drop:
// `fromPasteboard` and `fromDrop` over the formats another program put there.
//
// Input: one byte of flags, then the payload. The flags choose what the clipboard holds: the
// payload as text (1), as the bytes of an image type (2, "image/png"; with 16, "image/jpeg"), and
// a local file holding the payload (4, named ".png" with 8, else ".txt").
// Rules: a text the prompt would lay out is short (at most `kMaxPastedTextLength` UTF-16 units and
// 100 pieces); a longer one is offered whole as the long-text attachment; a drop of text alone is
// that text; an image offered is a JPEG of its own size; a picture that does not decode is told,
// never taken for nothing when nothing else is there. The run's memory limit holds the readers to
// the image reader's allocation limit, whatever size a header claims.
#include <QCoreApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <variant>

#include "Tessra/prompt_input/attachment_sources.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace tessra;

enum Flags : std::uint8_t {
  kText = 1,
  kImageBytes = 2,
  kFile = 4,
  kFileIsPng = 8,
  kImageIsJpeg = 16,
};

bool isLineBreak(char16_t c) {
  return (c >= 0x0a && c <= 0x0d) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Whether the prompt would take the text as typed text.
bool fitsThePrompt(const QString& text) {
  if (text.size() > kMaxPastedTextLength) return false;
  qsizetype pieces = 1;
  for (const QChar c : text) pieces += isLineBreak(c.unicode()) ? 1 : 0;
  return pieces <= static_cast<qsizetype>(kMaxPastedTextPieces);
}

void checkImage(const AttachmentOffer& offer) {
  const auto* attachment = std::get_if<ChatAttachment>(&offer);
  if (!attachment || !attachment->image) return;
  FUZZ_CHECK(!attachment->image->jpeg.empty());
  FUZZ_CHECK(attachment->image->width > 0 && attachment->image->height > 0);
  const QImage decoded = QImage::fromData(attachment->image->jpeg.data(),
                                          static_cast<int>(attachment->image->jpeg.size()), "JPEG");
  FUZZ_CHECK(decoded.width() == attachment->image->width);
  FUZZ_CHECK(decoded.height() == attachment->image->height);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::quietLogs();
  // The image readers warn of every damaged picture.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  static QCoreApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::string payload(fuzz::text(data + 1, size - 1));
  const QByteArray bytes = QByteArray::fromStdString(payload);
  const QString text = QString::fromUtf8(bytes);

  QMimeData mime;
  if (flags & kText) mime.setText(text);
  if (flags & kImageBytes)
    mime.setData(
        (flags & kImageIsJpeg) ? QStringLiteral("image/jpeg") : QStringLiteral("image/png"), bytes);
  if (flags & kFile) {
    const auto file = fuzz::scratchFolder() / ((flags & kFileIsPng) ? "pasted.png" : "pasted.txt");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << payload;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
  }

  const AttachmentOffer pasted = fromPasteboard(&mime);
  checkImage(pasted);
  if ((flags & (kText | kImageBytes | kFile)) == kText) {
    const auto* attachment = std::get_if<ChatAttachment>(&pasted);
    if (fitsThePrompt(text)) {
      FUZZ_CHECK(std::holds_alternative<std::monostate>(pasted));
    } else {
      FUZZ_CHECK(attachment && attachment->text == text.toStdString());
      FUZZ_CHECK(attachment->fileName == std::string(kLongTextFileName));
    }
  }
  if ((flags & (kText | kImageBytes | kFile)) == kImageBytes)
    FUZZ_CHECK(!std::holds_alternative<std::monostate>(pasted));

  const AttachmentOffer dropped = fromDrop(&mime);
  checkImage(dropped);
  if ((flags & (kText | kImageBytes | kFile)) == kText) {
    const auto* attachment = std::get_if<ChatAttachment>(&dropped);
    FUZZ_CHECK(attachment && attachment->text == text.toStdString() && !attachment->image);
  }
  if ((flags & (kText | kImageBytes | kFile)) == kImageBytes)
    FUZZ_CHECK(!std::holds_alternative<std::monostate>(dropped));
  return 0;
}
