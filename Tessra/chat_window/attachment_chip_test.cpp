#include "Tessra/chat_window/attachment_chip.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/chat_attachment_preview.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/animations_on.h"
#include "testing/memory_ceiling.h"

namespace tessra {
namespace {

ChatAttachment imageAttachment(QColor colour, std::optional<std::string> name) {
  QImage image(240, 100, QImage::Format_RGB32);
  image.fill(colour);
  return *tessra::imageAttachment(image, std::move(name));
}

// JPEG moves a flat colour by a step or two.
bool near(QColor got, QColor want) {
  return std::abs(got.red() - want.red()) <= 3 && std::abs(got.green() - want.green()) <= 3 &&
         std::abs(got.blue() - want.blue()) <= 3;
}

class Chip : public ::testing::Test {
 protected:
  Chip() : chip(&pending, &host) {
    host.resize(400, 300);
    host.move(700, 400);
    host.show();
  }
  void click() { QTest::mouseClick(chip.card(), Qt::LeftButton, {}, QPoint(30, 30)); }

  QWidget host;
  PendingAttachment pending;
  ChatAttachmentView chip;
};

TEST_F(Chip, TakesNoSpaceWithoutAnAttachment) {
  EXPECT_FALSE(chip.isVisible());
  pending.set(imageAttachment(Qt::red, "Screenshot"));
  EXPECT_TRUE(chip.isVisible());
  EXPECT_EQ(chip.card()->size(), QSize(120, 100));
  EXPECT_EQ(chip.sizeHint().height(), 100 + ChatAttachmentView::kPadding);
  QTest::mouseClick(chip.removeButton(), Qt::LeftButton);
  EXPECT_FALSE(pending.value());
  EXPECT_FALSE(chip.isVisible());
}

TEST_F(Chip, CardShowsTheImageOrTheTextAndTheCaption) {
  pending.set(imageAttachment(Qt::red, "Screenshot"));
  QImage card = chip.card()->grab().toImage();
  EXPECT_TRUE(near(card.pixelColor(60, 40), Qt::red)) << "the image fills the card";
  EXPECT_EQ(card.pixelColor(60, 97), QColor("#1e1f22")) << "caption strip";

  pending.set(imageAttachment(Qt::red, std::nullopt));
  card = chip.card()->grab().toImage();
  EXPECT_TRUE(near(card.pixelColor(60, 97), Qt::red)) << "no caption without a name";

  pending.set(ChatAttachment{nullptr, std::string(300, 'w'), "Clipboard - Long Text"});
  card = chip.card()->grab().toImage();
  EXPECT_EQ(card.pixelColor(2, 50), QColor("#2b2d31")) << "text on the dark card";
}

TEST_F(Chip, HoverShadesTheCardAndGrowsTheRemoveButtonGradually) {
  const testing::AnimationsOn animations;
  pending.set(ChatAttachment{nullptr, std::string(300, 'w'), "Pasteboard - Long Text"});
  const QColor card("#2b2d31");
  // The card under black at 0.3.
  const QColor shaded(30, 31, 34);
  const auto near = [](const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
           std::abs(a.blue() - b.blue()) <= 1;
  };
  const auto shade = [&] { return testing::pixel(chip.card(), QPoint(2, 50)); };
  testing::enter(chip.card());
  EXPECT_EQ(shade(), card) << "the shade fades in, it does not jump";
  EXPECT_TRUE(QTest::qWaitFor([&] { return near(shade(), shaded); }, 2000));
  testing::leave(chip.card());
  EXPECT_TRUE(near(shade(), shaded));
  EXPECT_TRUE(QTest::qWaitFor([&] { return shade() == card; }, 2000));

  // The area of the button's disc: what is lighter than the card around it.
  QWidget* remove = chip.removeButton();
  const auto discArea = [&] {
    const QImage image = remove->grab().toImage();
    const int outside = image.pixelColor(0, 0).lightness();
    int area = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        area += image.pixelColor(x, y).lightness() > outside + 3;
    return area;
  };
  const int small = discArea();
  testing::enter(remove);
  EXPECT_EQ(discArea(), small) << "the button grows, it does not jump";
  // From 0.9 to 1.0 of its size: a fifth more area.
  EXPECT_TRUE(QTest::qWaitFor([&] { return discArea() >= small * 1.15; }, 2000));
  testing::leave(remove);
  EXPECT_TRUE(QTest::qWaitFor([&] { return discArea() == small; }, 2000));
}

TEST_F(Chip, PreviewEditsTheTextAndKeepsTheName) {
  pending.set(ChatAttachment{nullptr, "first draft", "notes.txt"});
  click();
  ASSERT_TRUE(chip.popover());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(chip.popover()));
  EXPECT_FALSE(isPromptKeyForwardingEnabled()) << "no forwarding while it is open";
  ChatAttachmentPreview* preview = chip.preview();
  EXPECT_EQ(preview->editor()->toPlainText(), "first draft");
  EXPECT_TRUE(preview->updateButton()->isVisible());

  preview->editor()->setPlainText("dropped edit");
  QTest::mouseClick(preview->cancelButton(), Qt::LeftButton);
  EXPECT_FALSE(chip.popover());
  EXPECT_TRUE(isPromptKeyForwardingEnabled());
  EXPECT_EQ(pending.value()->text, "first draft");

  click();
  ASSERT_TRUE(chip.popover());
  EXPECT_EQ(preview->editor()->toPlainText(), "first draft") << "edits were dropped";
  preview->editor()->setPlainText("second draft");
  QTest::mouseClick(preview->updateButton(), Qt::LeftButton);
  EXPECT_FALSE(chip.popover());
  EXPECT_EQ(pending.value()->text, "second draft");
  EXPECT_EQ(pending.value()->fileName, "notes.txt");
}

// A long paste on one line (50 MB) opens at once: its beginning, read-only, and nothing to update
// it with, since an edit of the beginning would lose the rest.
TEST_F(Chip, PreviewOfALongPasteShowsItsBeginningReadOnly) {
  const std::string line(50 << 20, 'x');
  pending.set(ChatAttachment{nullptr, line, "Clipboard - Long Text"});
  const testing::MemoryCeiling ceiling(256 << 20);
  click();
  ASSERT_TRUE(chip.popover());
  ChatAttachmentPreview* preview = chip.preview();
  EXPECT_EQ(preview->editor()->toPlainText().size(), 100'000);
  EXPECT_TRUE(preview->editor()->isReadOnly());
  EXPECT_FALSE(preview->updateButton()->isVisible());
  EXPECT_TRUE(preview->cancelButton()->isVisible());
  QTest::mouseClick(preview->cancelButton(), Qt::LeftButton);
  EXPECT_EQ(pending.value()->text, line);
  EXPECT_LT(ceiling.growth(), 256u << 20);

  pending.set(ChatAttachment{nullptr, "short again", "notes.txt"});
  click();
  EXPECT_FALSE(preview->editor()->isReadOnly());
  EXPECT_TRUE(preview->updateButton()->isVisible());
}

TEST_F(Chip, TextBreaksBetweenWords) {
  // "tiny" and a long word: a line break inside a word would fill the first line.
  pending.set(ChatAttachment{nullptr, "tiny " + std::string(20, 'x'), std::nullopt});
  const QImage card = chip.card()->grab().toImage();
  // Left of the remove button, which stands in the top right corner.
  const int textWidth = card.width() - 32;
  const auto ink = [&](int x, int y) { return qGray(card.pixel(x, y)) > 100; };
  int firstLine = -1;
  for (int y = 0; y < card.height() && firstLine < 0; ++y)
    for (int x = 0; x < textWidth; ++x)
      if (ink(x, y)) firstLine = y;
  ASSERT_GE(firstLine, 0) << "the text is drawn";
  int left = card.width();
  int right = -1;
  for (int y = firstLine; y < firstLine + 8; ++y) {
    for (int x = 0; x < textWidth; ++x) {
      if (!ink(x, y)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  EXPECT_LT(right - left, card.width() / 2) << "the first line holds only \"tiny\"";
}

TEST_F(Chip, ImagePreviewHasNoButtons) {
  pending.set(imageAttachment(Qt::blue, "Clipboard"));
  click();
  ASSERT_TRUE(chip.popover());
  EXPECT_TRUE(chip.preview()->imageView()->isVisible());
  EXPECT_FALSE(chip.preview()->editor()->isVisible());
  EXPECT_FALSE(chip.preview()->updateButton()->isVisible());
  chip.setTextSheetPresented(false);
}

TEST_F(Chip, PopoverOpensAwayFromTheDockedEdge) {
  pending.set(ChatAttachment{nullptr, "text", std::nullopt});
  struct Case {
    PopupPosition position;
    Qt::Edge arrow;
  };
  for (const Case& c :
       {Case{PopupPosition::left, Qt::RightEdge}, Case{PopupPosition::right, Qt::LeftEdge},
        Case{PopupPosition::top, Qt::LeftEdge}, Case{PopupPosition::bottom, Qt::LeftEdge}}) {
    UserSettings::shared().setValue(setting::popupPosition, c.position);
    EXPECT_EQ(chip.arrowEdge(), c.arrow);
    click();
    ASSERT_TRUE(chip.popover());
    const QRect card(chip.card()->mapToGlobal(QPoint(0, 0)), chip.card()->size());
    if (c.arrow == Qt::RightEdge)
      EXPECT_EQ(chip.popover()->geometry().left(), card.right() + 1);
    else
      EXPECT_EQ(chip.popover()->geometry().right(), card.left() - 1);
    chip.setTextSheetPresented(false);
  }
  UserSettings::shared().setValue(setting::popupPosition, PopupPosition::right);
}

TEST_F(Chip, RemovingTheAttachmentClosesThePreview) {
  pending.set(ChatAttachment{nullptr, "text", std::nullopt});
  click();
  ASSERT_TRUE(chip.popover());
  pending.set(std::nullopt);
  EXPECT_FALSE(chip.popover());
  EXPECT_TRUE(isPromptKeyForwardingEnabled());
}

}  // namespace
}  // namespace tessra
