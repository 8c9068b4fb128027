#include "Tessra/ui_foundation/small_views.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/qt_wait.h"

namespace tessra {
namespace {

using testing::enter;
using testing::leave;
using testing::pixel;

// The padding is measured against the text's own line, not against the font's nominal height:
// the two differ for some fonts (12 and 13 pixels for the mathematical DejaVu face at size 12),
// and a machine without a font configuration falls back to whichever face it finds first.
TEST(BadgeLabelTest, WhiteTextOnBlueCapsule) {
  for (const char* family : {"", "DejaVu Serif", "DejaVu Math TeX Gyre"}) {
    SCOPED_TRACE(family);
    BadgeLabel badge("New");
    if (*family) {
      QFont font = badge.font();
      font.setFamily(family);
      badge.setFont(font);
    }
    EXPECT_EQ(badge.font().pixelSize(), 12);
    const QSize text = badge.fontMetrics().size(Qt::TextSingleLine, "New");
    ASSERT_FALSE(text.isEmpty());
    EXPECT_EQ(badge.sizeHint(), text + QSize(24, 8));
    badge.resize(badge.sizeHint());

    const QImage image = badge.grab().toImage();
    EXPECT_EQ(image.pixelColor(4, badge.height() / 2), palette::systemBlue());
    // Between the round ends the capsule covers every row, so any pixel there far from the blue's
    // red channel is text, and the text stays inside the padding.
    const int end = (badge.height() + 1) / 2;
    int whitest = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = end; x < image.width() - end; ++x) {
        const QColor color = image.pixelColor(x, y);
        if (color.red() < 128) continue;
        whitest = std::max(whitest, std::min({color.red(), color.green(), color.blue()}));
        EXPECT_TRUE(x >= 12 && x < badge.width() - 12 && y >= 4 && y < badge.height() - 4)
            << x << "," << y;
      }
    }
    EXPECT_GE(whitest, 240);
  }
}

TEST(KeyViewTest, CapOnDarkRimThickerBelow) {
  KeyView key("K");
  EXPECT_EQ(key.size(), QSize(23, 25));
  const QRectF cap = key.capRect();
  EXPECT_EQ(cap.size(), QSizeF(20, 20));
  EXPECT_EQ(pixel(&key, QPoint(int(cap.left()) + 3, int(cap.top()) + 3)), palette::keyCap());
  EXPECT_EQ(pixel(&key, QPoint(key.width() / 2, key.height() - 2)), palette::tertiaryBackground());

  // A key named by a word widens its cap to hold it; the height stays.
  KeyView word("Ctrl");
  EXPECT_GE(word.capRect().width(), word.fontMetrics().horizontalAdvance("Ctrl") + 8);
  EXPECT_EQ(word.size(), QSize(int(word.capRect().width()) + 3, 25));
}

class HintPopoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window.resize(300, 200);
    m_target = new QWidget(&m_window);
    m_target->setGeometry(100, 50, 80, 30);
    m_window.show();
  }
  QWidget m_window;
  QWidget* m_target = nullptr;
};

TEST_F(HintPopoverTest, TheArrowSitsOnTheRequestedEdgeAndTouchesTheTarget) {
  const QRect target(m_target->mapToGlobal(QPoint(0, 0)), m_target->size());
  for (const Qt::Edge edge : {Qt::TopEdge, Qt::BottomEdge, Qt::LeftEdge, Qt::RightEdge}) {
    SCOPED_TRACE(edge);
    HintPopover hint(m_target, "Search", QStringLiteral("K"), edge);
    enter(m_target);
    QWidget* popup = hint.popup();
    ASSERT_NE(popup, nullptr);
    const QRect frame = popup->geometry();
    const QRegion shape = popup->mask();
    const int w = frame.width();
    const int h = frame.height();
    // Near the arrow's edge only the arrow's tip is drawn, not the corners; the opposite edge is
    // the body's, drawn across.
    QPoint tip;
    QPoint corner;
    QPoint opposite;
    switch (edge) {
      case Qt::TopEdge:
        EXPECT_EQ(frame.top(), target.bottom() + 1);
        tip = {w / 2, 1};
        corner = {1, 1};
        opposite = {1, h - 1};
        break;
      case Qt::BottomEdge:
        EXPECT_EQ(frame.bottom(), target.top() - 1);
        tip = {w / 2, h - 2};
        corner = {1, h - 2};
        opposite = {1, 0};
        break;
      case Qt::LeftEdge:
        EXPECT_EQ(frame.left(), target.right() + 1);
        tip = {1, h / 2};
        corner = {1, 1};
        opposite = {w - 1, 1};
        break;
      case Qt::RightEdge:
        EXPECT_EQ(frame.right(), target.left() - 1);
        tip = {w - 2, h / 2};
        corner = {w - 2, 1};
        opposite = {0, 1};
        break;
    }
    EXPECT_TRUE(shape.contains(tip));
    EXPECT_FALSE(shape.contains(corner));
    EXPECT_TRUE(shape.contains(opposite));
    leave(m_target);
  }
}

TEST_F(HintPopoverTest, ShowsMessageAndOneCapPerKeyWhileHovered) {
  const struct {
    const char* name;
    std::optional<QString> keys;
    std::vector<QString> caps;
  } cases[] = {
      {"no keys", std::nullopt, {}},
      {"two keys", QStringLiteral("⌃K"), {QStringLiteral("⌃"), QStringLiteral("K")}},
      {"keys in words", QStringLiteral("Ctrl+T"), {QStringLiteral("Ctrl"), QStringLiteral("T")}},
      {"the plus key", QStringLiteral("Ctrl++"), {QStringLiteral("Ctrl"), QStringLiteral("+")}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto* hint = new HintPopover(m_target, "Search", test.keys, Qt::TopEdge);
    EXPECT_EQ(hint->popup(), nullptr);
    enter(m_target);
    ASSERT_TRUE(hint->isHovered());
    QWidget* popup = hint->popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    const auto labels = popup->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "Search");
    std::vector<QString> caps;
    for (KeyView* key : popup->findChildren<KeyView*>()) caps.push_back(key->text());
    EXPECT_EQ(caps, test.caps);
    // The arrow is on the hint's top edge: the hint hangs below the target.
    EXPECT_EQ(popup->y(), m_target->mapToGlobal(QPoint(0, m_target->height())).y());
    EXPECT_EQ(pixel(popup, QPoint(2, popup->height() - 3)), palette::background());

    QPointer<QWidget> shown = popup;
    leave(m_target);
    EXPECT_FALSE(hint->isHovered());
    EXPECT_EQ(hint->popup(), nullptr);
    ASSERT_EVENTUALLY(shown.isNull() || !shown->isVisible(), 5000);
    delete hint;
  }
}

class ConfirmationViewTest : public ::testing::Test {
 protected:
  BoolBinding presented() {
    return {[this] { return m_presented; },
            [this](bool value) {
              m_events.push_back(value ? "presented" : "dismissed");
              m_presented = value;
            }};
  }
  bool m_presented = true;
  std::vector<std::string> m_events;
};

TEST_F(ConfirmationViewTest, DefaultsOnlyJustDismiss) {
  ConfirmationView card({}, presented(), "Continue", "Cancel");
  EXPECT_EQ(card.emoji(), QStringLiteral("💬"));
  EXPECT_TRUE(card.configuration().title.isEmpty());
  EXPECT_EQ(card.confirmButton()->text(), "Continue");
  EXPECT_EQ(card.cancelButton()->text(), "Cancel");
  EXPECT_EQ(card.width(), 300);
  card.cancelButton()->click();
  EXPECT_FALSE(m_presented);
  m_presented = true;
  card.confirmButton()->click();
  EXPECT_FALSE(m_presented);
  EXPECT_EQ(m_events, (std::vector<std::string>{"dismissed", "dismissed"}));
}

TEST_F(ConfirmationViewTest, DestructiveCardDismissesBeforeItsAction) {
  ConfirmationView card(
      [this](ConfirmationView::Configuration c) {
        c.title = "Delete this conversation?";
        c.style = ConfirmationView::Style::destructive;
        c.confirmActionText = "Delete";
        c.confirmAction = [this] {
          m_events.push_back(m_presented ? "deleted while shown" : "deleted");
        };
        return c;
      },
      presented(), "Continue", "Cancel");
  card.show();
  EXPECT_EQ(card.emoji(), QStringLiteral("⚠️"));
  EXPECT_GT(testing::colorfulPixels(card.grab(QRect(0, 0, card.width(), 70)).toImage()), 20)
      << "the sign above the question is in colour";
  EXPECT_EQ(card.confirmButton()->currentLook().fill, palette::colorFromHex("#df4f4a"));
  EXPECT_EQ(card.confirmButton()->currentLook().foreground, QColor(Qt::white));
  EXPECT_EQ(card.cancelButton()->currentLook().fill, palette::colorFromHex("#313338"));
  EXPECT_EQ(pixel(card.confirmButton(), QPoint(4, card.confirmButton()->height() / 2)),
            palette::colorFromHex("#df4f4a"));

  // Return does nothing while no button has the focus.
  card.setFocus();
  QTest::keyClick(&card, Qt::Key_Return);
  EXPECT_TRUE(m_presented);
  EXPECT_TRUE(m_events.empty());

  card.confirmButton()->setFocus();
  QTest::keyClick(card.confirmButton(), Qt::Key_Return);
  EXPECT_FALSE(m_presented);
  EXPECT_EQ(m_events, (std::vector<std::string>{"dismissed", "deleted"}));
}

TEST(SettingsToggleViewTest, WritesOnlyThroughTheBinding) {
  bool stored = false;
  bool refuse = false;
  SettingsToggleView row("Sound Effects", {[&] { return stored; },
                                           [&](bool value) {
                                             if (!refuse) stored = value;
                                           }});
  row.show();
  EXPECT_EQ(row.titleLabel()->text(), "Sound Effects");
  EXPECT_FALSE(row.toggle()->isChecked());
  row.toggle()->click();
  EXPECT_TRUE(stored);
  EXPECT_TRUE(row.toggle()->isChecked());
  EXPECT_EQ(row.toggle()->currentTrack(), palette::systemGreen());
  refuse = true;
  row.toggle()->click();
  EXPECT_TRUE(stored);
  EXPECT_TRUE(row.toggle()->isChecked());
  stored = false;
  row.refresh();
  EXPECT_FALSE(row.toggle()->isChecked());
}

}  // namespace
}  // namespace tessra
