#include "Tessra/ui_foundation/color_emoji.h"

#include <QImage>
#include <QLabel>
#include <QPainter>

#include <gtest/gtest.h>

#include "Tessra/ui_foundation/widget_test_support.h"

namespace tessra {
namespace {

using testing::colorfulPixels;

QImage drawn(const QString& text, QRect area = QRect(0, 0, 300, 40)) {
  QImage image(area.size() + QSize(40, 0), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  QFont font = painter.font();
  font.setPixelSize(22);
  painter.setFont(font);
  painter.setPen(Qt::black);
  drawColorEmojiText(painter, area, Qt::AlignLeft, text);
  return image;
}

TEST(ColorEmoji, PicturesAreEmojiTextCharactersAreText) {
  const struct {
    QString grapheme;
    bool picture;
  } cases[] = {
      {QStringLiteral("😀"), true},
      {QStringLiteral("🇩🇪"), true},
      {QStringLiteral("👍🏽"), true},
      {QStringLiteral("⚙️"), true},
      {QStringLiteral("⚙"), false},
      {QStringLiteral("©"), false},
      {QStringLiteral("1"), false},
      {QStringLiteral("a"), false},
      {QString(), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isEmojiPresentation(c.grapheme), c.picture) << c.grapheme.toStdString();
}

TEST(ColorEmoji, EmojiInALineAreInColourItsTextIsNot) {
  // Each of these has a monochrome outline in the desktop's sans-serif font.
  for (const QString& emoji :
       {QStringLiteral("😀"), QStringLiteral("⚠️"), QStringLiteral("❤️")})
    EXPECT_GT(colorfulPixels(drawn(emoji + QStringLiteral(" Groceries"))), 20)
        << emoji.toStdString();
  EXPECT_EQ(colorfulPixels(drawn(QStringLiteral("#1 © ⚙ Groceries"))), 0);
}

TEST(ColorEmoji, ALineTooWideIsElidedInsideItsRectangle) {
  const QRect area(0, 0, 120, 40);
  const QImage image = drawn(QStringLiteral("😀 ") + QString(40, u'w'), area);
  for (int y = 0; y < image.height(); ++y)
    for (int x = area.right() + 1; x < image.width(); ++x)
      ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << "ink right of the rectangle";
  EXPECT_GT(colorfulPixels(image), 20) << "the emoji stays";
}

TEST(ColorEmoji, AWidgetOfEmojiAloneTakesTheColourFont) {
  QLabel label(QStringLiteral("😀"));
  label.setFont(colorEmojiFont(label.font()));
  label.adjustSize();
  EXPECT_GT(colorfulPixels(label.grab().toImage()), 20);
}

}  // namespace
}  // namespace tessra
