#include "Tessra/prompt_input/chat_attachment_on_drop_modifier.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include "Tessra/prompt_input/pending_attachment.h"
#include "testing/png_header.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

QImage red() {
  QImage image(6, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  return image;
}

struct Dropped {
  bool accepted = false;
  std::optional<ChatAttachment> attachment;
};

// Sends the drag and the drop a window system would send to the target.
Dropped drop(QWidget& target, ChatAttachmentOnDropModifier& modifier, PendingAttachment& pending,
             const QMimeData& mime) {
  pending.set(std::nullopt);
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  EXPECT_EQ(modifier.isTargeted(), enter.isAccepted());
  QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &dropEvent);
  EXPECT_FALSE(modifier.isTargeted());
  return {dropEvent.isAccepted(), pending.value()};
}

TEST(DropTarget, AttachesWhatIsDropped) {
  testing::TempDir dir;
  const QString png = QString::fromStdString((dir / "shot.png").string());
  red().save(png);
  const QString text = QString::fromStdString(dir.write("a.txt", "file text").string());
  QWidget target;
  target.resize(200, 200);
  PendingAttachment pending;
  ChatAttachmentOnDropModifier modifier(&target, &pending);

  QMimeData image;
  image.setImageData(red());
  Dropped got = drop(target, modifier, pending, image);
  EXPECT_TRUE(got.accepted);
  ASSERT_TRUE(got.attachment && got.attachment->image);
  EXPECT_EQ(got.attachment->image->width, 6);
  EXPECT_FALSE(got.attachment->fileName);

  QMimeData words;
  words.setText("dropped words");
  got = drop(target, modifier, pending, words);
  ASSERT_TRUE(got.attachment);
  EXPECT_EQ(got.attachment->text, "dropped words");
  EXPECT_FALSE(got.attachment->image);

  QMimeData both;
  both.setImageData(red());
  both.setText("alt text");
  got = drop(target, modifier, pending, both);
  ASSERT_TRUE(got.attachment);
  EXPECT_TRUE(got.attachment->image) << "the image wins when it decodes";
  EXPECT_FALSE(got.attachment->text);

  QMimeData brokenImage;
  brokenImage.setData("image/png", "not a png");
  brokenImage.setText("alt text");
  got = drop(target, modifier, pending, brokenImage);
  ASSERT_TRUE(got.attachment);
  EXPECT_EQ(got.attachment->text, "alt text") << "else the text";

  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(text), QUrl::fromLocalFile(png)});
  got = drop(target, modifier, pending, files);
  ASSERT_TRUE(got.attachment);
  EXPECT_EQ(got.attachment->text, "file text") << "only the first of several files";

  QMimeData none;
  got = drop(target, modifier, pending, none);
  EXPECT_FALSE(got.accepted);
  EXPECT_FALSE(got.attachment);

  // A picture too large to decode, alone: nothing is attached, and the user is to be told.
  int told = 0;
  QObject::connect(&pending, &PendingAttachment::unreadableImageOffered, [&] { ++told; });
  QMimeData huge;
  huge.setData("image/png", QByteArray::fromStdString(testing::pngHeader(20000, 20000)));
  got = drop(target, modifier, pending, huge);
  EXPECT_TRUE(got.accepted);
  EXPECT_FALSE(got.attachment);
  EXPECT_EQ(told, 1);
}

TEST(DropTarget, ShadesTheTargetWhileADragHovers) {
  QWidget target;
  target.resize(300, 200);
  target.show();
  PendingAttachment pending;
  ChatAttachmentOnDropModifier modifier(&target, &pending);
  QMimeData mime;
  mime.setText("x");

  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  EXPECT_TRUE(modifier.isTargeted());
  EXPECT_TRUE(modifier.overlay()->isVisible());
  EXPECT_EQ(modifier.overlay()->geometry(), target.rect());
  const QImage shot = target.grab().toImage();
  EXPECT_LT(shot.pixelColor(5, 5).lightness(), 80) << "dark shade";
  EXPECT_EQ(shot.pixelColor(165, 115), QColor(Qt::white)) << "the white disc in the middle";
  EXPECT_LT(shot.pixelColor(150, 100).lightness(), 80) << "its plus";

  QDragLeaveEvent leave;
  QApplication::sendEvent(&target, &leave);
  EXPECT_FALSE(modifier.isTargeted());
  EXPECT_FALSE(modifier.overlay()->isVisible());
}

}  // namespace
}  // namespace tessra
