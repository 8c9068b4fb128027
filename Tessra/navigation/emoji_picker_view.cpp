#include "Tessra/navigation/emoji_picker_view.h"

#include <QPainter>
#include <QVBoxLayout>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

constexpr int kFieldInset = 16;
constexpr double kRingWidth = 2;
// The ring's stroke is centred on the 72-point circle, so half of it lies outside the badge's
// frame: the widget is that much larger on every side.
constexpr int kOverhang = static_cast<int>(kRingWidth / 2);

// The emoji field inside its dashed ring.
class Badge final : public QWidget {
 public:
  explicit Badge(QWidget* parent) : QWidget(parent) {
    const int side = static_cast<int>(EmojiPickerView::kSize) + 2 * kOverhang;
    setFixedSize(side, side);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette::highlightedText(), kRingWidth, Qt::CustomDashLine, Qt::RoundCap,
             Qt::MiterJoin);
    pen.setMiterLimit(0);
    // Dash lengths are in units of the pen's width.
    pen.setDashPattern(
        {EmojiPickerView::kDotLength / kRingWidth, EmojiPickerView::kSpaceLength / kRingWidth});
    pen.setDashOffset(0);
    painter.setPen(pen);
    // The dash pattern divides the circumference of exactly this circle into 18 dashes and gaps.
    painter.drawEllipse(QRectF(rect()).center(), EmojiPickerView::kRadius,
                        EmojiPickerView::kRadius);
  }
};

}  // namespace

EmojiPickerView::EmojiPickerView(const QString& emoji, QWidget* parent) : QWidget(parent) {
  auto* badge = new Badge(this);
  m_field = new EmojiTextField(badge);
  m_field->setText(emoji);
  const int inset = kOverhang + kFieldInset;
  m_field->setGeometry(QRect(QPoint(0, 0), badge->size()).adjusted(inset, inset, -inset, -inset));
  connect(m_field, &EmojiTextField::pickerRequested, this, &EmojiPickerView::showPalette);
  connect(m_field, &EmojiTextField::emojiChanged, this, &EmojiPickerView::emojiChanged);

  m_random = new QPushButton(LocalizedText::General::random(), this);
  m_random->setFlat(true);
  m_random->setCursor(Qt::PointingHandCursor);
  connect(m_random, &QPushButton::clicked, this,
          [this] { setEmoji(EmojiTextField::randomEmoji()); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // 16 points from the badge's frame, whose ring overhangs it below.
  layout->setSpacing(16 - kOverhang);
  layout->addWidget(badge, 0, Qt::AlignHCenter);
  layout->addWidget(m_random, 0, Qt::AlignHCenter);
}

void EmojiPickerView::setEmoji(const QString& emoji) {
  if (m_field->text() == emoji) return;
  m_field->setText(emoji);
  emit emojiChanged(emoji);
}

void EmojiPickerView::showPalette() {
  if (m_palette && m_palette->isVisible()) return;
  // A child popup: it goes with the picker.
  m_palette = new EmojiPalette(EmojiTextField::pool(), this);
  connect(m_palette, &EmojiPalette::emojiChosen, this, [this](const QString& chosen) {
    // Through the field's rule, as if typed there.
    m_field->setText(chosen);
    m_field->normalizeText();
  });
  m_palette->popUp(m_field);
}

}  // namespace tessra
