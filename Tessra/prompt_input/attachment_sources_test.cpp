#include "Tessra/prompt_input/attachment_sources.h"

#include <QImage>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <variant>

#include "Tessra/prompt_input/attachment_image.h"
#include "testing/log_capture.h"
#include "testing/png_header.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using testing::TempDir;

QImage filled(QColor colour, int width = 8, int height = 6) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(colour);
  return image;
}

std::string lines(int count, const char* separator = "\n", const std::string& line = "line") {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? separator : "") + line;
  return text;
}

// What an offer is, in words, so a table can say what it expects.
std::string describe(const AttachmentOffer& offer) {
  if (std::holds_alternative<UnreadableImage>(offer)) return "unreadable image";
  const auto* attachment = std::get_if<ChatAttachment>(&offer);
  if (!attachment) return "none";
  std::string kind = attachment->image ? "image " + std::to_string(attachment->image->width) + "x" +
                                             std::to_string(attachment->image->height)
                                       : "text " + attachment->text.value_or("<none>").str();
  return kind + " as " + attachment->fileName.value_or("<unnamed>");
}

class Files {
 public:
  Files() {
    filled(Qt::red).save(QString::fromStdString((m_dir / "red.png").string()));
    filled(Qt::blue, 5, 4).save(QString::fromStdString((m_dir / "photo.jpg").string()), "JPEG");
    filled(Qt::green, 3, 3).save(QString::fromStdString((m_dir / "scan").string()), "PNG");
    m_dir.write("notes.txt", "some notes");
    // Larger than any reader decodes: 20,000 x 20,000 pixels.
    m_dir.write("huge.png", testing::pngHeader(20000, 20000));
    m_dir.write("latin1.txt", std::string("caf\xe9", 4));
    std::filesystem::create_directory(m_dir / "folder");
    std::ofstream big(m_dir / "big.txt");
    big << std::string(kMaxTextFileBytes + 1, 'a');
  }
  QUrl url(const std::string& name) const {
    return QUrl::fromLocalFile(QString::fromStdString((m_dir / name).string()));
  }

 private:
  TempDir m_dir;
};

TEST(FromPasteboard, TurnsFilesImagesAndLongTextsIntoAttachments) {
  const Files files;
  struct Case {
    const char* what;
    QList<QUrl> urls;
    std::optional<QImage> image;
    std::optional<std::string> text;
    std::string expected;
    // Image bytes of a type, as another program puts them on the clipboard.
    std::optional<std::pair<QString, std::string>> imageBytes = {};
  };
  const std::string longLine(100'001, 'a');
  const std::vector<Case> cases = {
      {"png file", {files.url("red.png")}, {}, {}, "image 8x6 as red.png"},
      {"jpg file", {files.url("photo.jpg")}, {}, {}, "image 5x4 as photo.jpg"},
      {"image known by its content", {files.url("scan")}, {}, {}, "image 3x3 as scan"},
      {"text file", {files.url("notes.txt")}, {}, {}, "text some notes as notes.txt"},
      {"a later image wins",
       {files.url("notes.txt"), files.url("red.png")},
       {},
       {},
       "image 8x6 as red.png"},
      {"non-UTF-8 text file", {files.url("latin1.txt")}, {}, "short", "none"},
      {"web link is never fetched",
       {QUrl("http://127.0.0.1:9/page.txt")},
       {},
       "http://127.0.0.1:9/page.txt",
       "none"},
      {"folder", {files.url("folder")}, {}, {}, "none"},
      {"oversize file falls to the text",
       {files.url("big.txt")},
       {},
       lines(101),
       "text " + lines(101) + " as Clipboard - Long Text"},
      {"raw image data", {}, filled(Qt::white, 4, 2), {}, "image 4x2 as Clipboard"},
      {"100 pieces", {}, {}, lines(100), "none"},
      {"101 pieces",
       {},
       {},
       lines(100) + "\n",
       "text " + lines(100) + "\n as Clipboard - Long Text"},
      {"CRLF counts twice",
       {},
       {},
       lines(51, "\r\n"),
       "text " + lines(51, "\r\n") + " as Clipboard - Long Text"},
      {"plain paste", {}, {}, "hello", "none"},
      {"nothing", {}, {}, {}, "none"},
      {"100 lines of 999 characters", {}, {}, lines(100, "\n", std::string(999, 'a')), "none"},
      {"a line as long as a paste may be", {}, {}, std::string(100'000, 'a'), "none"},
      {"a longer line", {}, {}, longLine, "text " + longLine + " as Clipboard - Long Text"},
      {"an image file too large to decode", {files.url("huge.png")}, {}, {}, "unreadable image"},
      {"copied image bytes too large to decode",
       {},
       {},
       {},
       "unreadable image",
       std::pair{QStringLiteral("image/png"), testing::pngHeader(20000, 20000)}},
      {"copied image bytes that do not decode, beside a text",
       {},
       {},
       "a caption",
       "none",
       std::pair{QStringLiteral("image/png"), std::string("not a png")}},
  };
  for (const Case& c : cases) {
    QMimeData mime;
    if (!c.urls.isEmpty()) mime.setUrls(c.urls);
    if (c.image) mime.setImageData(*c.image);
    if (c.imageBytes)
      mime.setData(c.imageBytes->first, QByteArray::fromStdString(c.imageBytes->second));
    if (c.text) mime.setText(QString::fromStdString(*c.text));
    EXPECT_EQ(describe(fromPasteboard(&mime)), c.expected) << c.what;
  }
}

TEST(FromPasteboard, ImagesAreOneOpaqueJpegHandle) {
  QMimeData mime;
  mime.setImageData(filled(QColor(0, 0, 0, 0)));
  const AttachmentOffer offer = fromPasteboard(&mime);
  const auto* attachment = std::get_if<ChatAttachment>(&offer);
  ASSERT_TRUE(attachment && attachment->image);
  const std::vector<std::uint8_t>& jpeg = attachment->image->jpeg;
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xff);
  EXPECT_EQ(jpeg[1], 0xd8);
  EXPECT_EQ(decodedImage(attachment->image).pixelColor(1, 1).lightness(), 255)
      << "transparency is flattened over white";
  const ChatAttachment copy = *attachment;
  EXPECT_EQ(copy, *attachment);
  EXPECT_EQ(copy.image.get(), attachment->image.get()) << "copies share the encoded image";
}

TEST(FromFileImportResult, ReadsTheFirstFileAsImageOrText) {
  const Files files;
  EXPECT_EQ(describe(fromFileImportResult(QList<QUrl>{files.url("photo.jpg")})),
            "image 5x4 as photo.jpg");
  EXPECT_EQ(
      describe(fromFileImportResult(QList<QUrl>{files.url("notes.txt"), files.url("red.png")})),
      "text some notes as notes.txt");
  EXPECT_EQ(describe(fromFileImportResult(QList<QUrl>{files.url("latin1.txt")})), "none");
  EXPECT_EQ(describe(fromFileImportResult(QList<QUrl>{files.url("huge.png")})), "unreadable image");
  EXPECT_EQ(describe(fromFileImportResult(QList<QUrl>{})), "none");

  testing::LogCapture log;
  EXPECT_EQ(describe(fromFileImportResult(std::unexpected(QString("No permission")))), "none");
  EXPECT_TRUE(log.contains("Error selecting file: No permission"));
}

}  // namespace
}  // namespace tessra
