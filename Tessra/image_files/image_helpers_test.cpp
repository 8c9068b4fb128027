#include "Tessra/image_files/image_helpers.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "Tessra/image_files/image_download.h"
#include "files/path.h"
#include "platform/foundation/base64.h"
#include "testing/http_server.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;
using testing::HttpServer;
using testing::ScriptedResponse;
using testing::TempDir;

QImage filled(int width, int height, QColor color = QColor(0x1A, 0xBC, 0x9C)) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

QImage noise(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = 0xFF000000u | (random() & 0xFFFFFFu);
  }
  return image;
}

std::string pngBytes(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

fs::path pathOfUrl(const std::string& url) {
  const std::optional<files::Path> path = files::Path::fromFileUrl(url);
  return path ? fs::path(path->rawValue()) : fs::path();
}

std::size_t fileCount(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(CompressedImage, ScalesTheLongerSideToTheMaximumDimension) {
  struct Case {
    int width, height;
    int expectedWidth, expectedHeight;
  };
  for (const Case& c : {Case{100, 50, 400, 200}, Case{1600, 1200, 400, 300},
                        Case{300, 900, 133, 400}, Case{400, 400, 400, 400}}) {
    const auto result = compressed(filled(c.width, c.height), 400, 0.25);
    ASSERT_TRUE(result) << c.width << "x" << c.height;
    EXPECT_EQ(result->image.width(), c.expectedWidth) << c.width << "x" << c.height;
    EXPECT_EQ(result->image.height(), c.expectedHeight) << c.width << "x" << c.height;
  }
}

TEST(CompressedImage, AnImageThatFitsIsNotEncoded) {
  const QImage source = filled(100, 100, QColor(0x12, 0x34, 0x56));
  const auto result = compressed(source, std::nullopt, 0.25);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->jpegEncodings, 0u);
  EXPECT_EQ(result->byteCount, 40000u);
  EXPECT_EQ(result->image.pixel(50, 50), source.pixel(50, 50));
}

TEST(CompressedImage, AnImageOverBudgetIsEncodedUntilItFits) {
  // A flat colour is tiny as JPEG: the first encoding fits.
  const auto result = compressed(filled(1600, 1200), 400, 0.25);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->jpegEncodings, 1u);
  EXPECT_LE(result->byteCount, 262144u);
}

TEST(CompressedImage, NoiseThatNeverFitsIsEncodedNineTimesAndReturnedOverBudget) {
  const auto result = compressed(noise(600, 600), std::nullopt, 0.01);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->jpegEncodings, 9u);
  EXPECT_GT(result->byteCount, static_cast<std::size_t>(0.01 * 1024 * 1024));
  EXPECT_EQ(result->image.size(), QSize(600, 600));
}

TEST(CompressedImage, NoImageGivesNothing) {
  EXPECT_FALSE(compressed(std::nullopt, 400, 0.25));
  EXPECT_FALSE(compressed(QImage(), 400, 0.25));
}

TEST(JpegFiles, EverySaveWritesANewJpegFile) {
  TempDir dir;
  const files::Path folder((dir.path() / "files").string());
  const QImage image = filled(64, 32);
  const auto first = saveAsJPEGFile(image, folder);
  const auto second = saveAsJPEGFile(image, folder);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(first->rfind("file://", 0), 0u) << *first;
  for (const std::string& url : {*first, *second}) {
    const fs::path path = pathOfUrl(url);
    EXPECT_EQ(path.parent_path(), dir.path() / "files");
    EXPECT_EQ(path.extension(), ".jpg");
    QImage back;
    ASSERT_TRUE(back.load(QString::fromStdString(path.string()), "JPEG")) << path;
    EXPECT_EQ(back.size(), QSize(64, 32));
  }
}

TEST(JpegFiles, AnUnwritableFolderGivesNothing) {
  TempDir dir;
  dir.write("blocker", "a file where the folder should be");
  EXPECT_FALSE(saveAsJPEGFile(filled(8, 8), files::Path((dir.path() / "blocker").string())));
  EXPECT_FALSE(saveAsJPEGFile(QImage(), files::Path(dir.path().string())));
}

TEST(JpegBase64, IsOneLineOfBase64OfAJpeg) {
  const auto text = jpegBase64String(filled(40, 30));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->find('\n'), std::string::npos);
  const auto bytes = platform::base64Decode(*text);
  ASSERT_TRUE(bytes);
  ASSERT_GT(bytes->size(), 2u);
  EXPECT_EQ((*bytes)[0], 0xFF);
  EXPECT_EQ((*bytes)[1], 0xD8);
  QImage back;
  ASSERT_TRUE(back.loadFromData(bytes->data(), static_cast<int>(bytes->size()), "JPEG"));
  EXPECT_EQ(back.size(), QSize(40, 30));
  EXPECT_FALSE(jpegBase64String(QImage()));
}

TEST(SupportedAttachmentFile, KnowsEveryExtensionOfTheTypesOrTheContent) {
  TempDir folder;
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  const std::string pngWithoutExtension = (folder / "shot").string();
  ASSERT_TRUE(image.save(QString::fromStdString(pngWithoutExtension), "PNG"));
  const std::string textWithoutExtension = folder.write("notes", "hello").string();
  struct Case {
    const char* url;
    bool supported;
  };
  for (const Case& c :
       {Case{"file:///tmp/Shot.PNG", true}, Case{"file:///tmp/a.jpeg", true},
        Case{"file:///tmp/a.webp", true}, Case{"file:///tmp/a.gif", true},
        Case{"file:///tmp/a.tiff", true}, Case{"/tmp/a.heic", true},
        Case{"file:///tmp/a.jpg", true}, Case{"file:///tmp/a.JPE", true},
        Case{"file:///tmp/a.tif", true}, Case{"file:///tmp/a.heif", true},
        Case{"file:///tmp/notes.txt", false}, Case{"file:///tmp/png", false},
        Case{"file:///tmp.png/readme", false}, Case{pngWithoutExtension.c_str(), true},
        Case{textWithoutExtension.c_str(), false}}) {
    EXPECT_EQ(isSupportedAttachmentFile(c.url), c.supported) << c.url;
  }
}

Result<DownloadedImage> download(const std::string& url, const files::Path& folder) {
  // Shared with the completion, which may still come after a timed-out wait has returned.
  auto promise = std::make_shared<std::promise<Result<DownloadedImage>>>();
  auto future = promise->get_future();
  platform::UrlTask task = downloadImage(url, folder, [promise](Result<DownloadedImage> result) {
    promise->set_value(std::move(result));
  });
  if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    task.cancel();
    return std::unexpected(
        std::make_exception_ptr(TextError("the download never completed: " + url)));
  }
  return future.get();
}

TEST(DownloadImage, StoresTheImageAsAJpegFile) {
  TempDir dir;
  HttpServer server;
  server.route("GET", "/image.png",
               ScriptedResponse::text(200, pngBytes(filled(30, 20)), "image/png"));
  const files::Path folder((dir.path() / "files").string());
  const auto result = download(server.url("/image.png"), folder);
  ASSERT_TRUE(result) << describe(result.error());
  ASSERT_TRUE(result->image);
  EXPECT_EQ(result->image->size(), QSize(30, 20));
  ASSERT_TRUE(result->fileUrl);
  EXPECT_TRUE(fs::exists(pathOfUrl(*result->fileUrl)));
}

TEST(DownloadImage, FailuresAndBodiesThatAreNoImage) {
  TempDir dir;
  HttpServer server;
  server.route("GET", "/text", ScriptedResponse::text(200, "no picture here"));
  server.route("GET", "/missing", ScriptedResponse::text(404, "Not Found"));
  const files::Path folder((dir.path() / "files").string());

  const auto invalid = download("not a url", folder);
  ASSERT_FALSE(invalid);
  EXPECT_EQ(describe(invalid.error()), "Invalid url: not a url");

  const auto missing = download(server.url("/missing"), folder);
  ASSERT_FALSE(missing);
  try {
    std::rethrow_exception(missing.error());
  } catch (const BadServerResponseError& error) {
    EXPECT_EQ(error.statusCode(), 404);
  } catch (...) {
    ADD_FAILURE() << "expected a bad server response, got " << describe(missing.error());
  }

  // A body that is no picture fails, so that the one who asked can say so.
  const auto text = download(server.url("/text"), folder);
  ASSERT_FALSE(text);
  try {
    std::rethrow_exception(text.error());
  } catch (const UnreadableImageError& error) {
    EXPECT_TRUE(std::string(error.what()).starts_with("the answer was no image that can be shown"))
        << error.what();
  } catch (...) {
    ADD_FAILURE() << "expected an unreadable image, got " << describe(text.error());
  }
  EXPECT_EQ(fileCount(dir.path() / "files"), 0u);
}

}  // namespace
}  // namespace tessra
