#include "Tessra/chat_window/attachment_chip.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextOption>
#include <QToolButton>

#include "Tessra/prompt_input/attachment_image.h"
#include "Tessra/prompt_input/chat_attachment_preview.h"
#include "Tessra/prompt_input/monospaced_font.h"
#include "Tessra/prompt_input/pending_attachment.h"
#include "Tessra/shell/base_window.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/animated_value.h"
#include "Tessra/ui_foundation/palette.h"
#include "platform/foundation/utf8.h"
#include "platform/ui/screens.h"

namespace tessra {

namespace {
constexpr qreal kCardRadius = 12;
constexpr int kRemoveSize = 24;
constexpr int kRemoveInset = 4;
constexpr int kArrowSize = 10;
constexpr double kHoverShade = 0.3;
constexpr double kRemoveScale = 0.9;
constexpr double kRemoveHoverScale = 1.0;

// Hover changes take the declarative framework's default animation: ease in and out over 0.35 s.
AnimatedValue::Timing hoverTiming() {
  return AnimatedValue::Timing::eased(350, timing_curves::easeInOut());
}
}  // namespace

// The card: image or text, caption, and the hover shade over all of it.
class ChatAttachmentView::Card : public QWidget {
 public:
  Card(PendingAttachment* attachment, ChatAttachmentView* chip)
      : QWidget(chip),
        m_attachment(attachment),
        m_chip(chip),
        m_shade(
            0, hoverTiming(), [this](double) { update(); }, this) {
    setFixedSize(kCardWidth, kCardHeight);
    setCursor(Qt::PointingHandCursor);
  }

  void reload() {
    const std::optional<ChatAttachment>& attachment = m_attachment->value();
    m_image = attachment && attachment->image ? decodedImage(attachment->image) : QImage();
    m_text = attachment && attachment->text ? QString::fromStdString(platform::prefixGraphemes(
                                                  *attachment->text, kMaxCardTextLength))
                                            : QString();
    m_caption = attachment && attachment->fileName ? QString::fromStdString(*attachment->fileName)
                                                   : QString();
    m_hasCaption = attachment && attachment->fileName;
    update();
  }

 protected:
  void enterEvent(QEnterEvent*) override { m_shade.animateTo(kHoverShade); }
  void leaveEvent(QEvent*) override { m_shade.animateTo(0); }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
      m_chip->setTextSheetPresented(!m_chip->isTextSheetPresented());
  }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCardRadius, kCardRadius);
    painter.setClipPath(shape);
    painter.fillRect(rect(), palette::secondaryBackground());
    if (!m_image.isNull()) {
      // Aspect fill: the image covers the card, cropped around its centre.
      const QSize filled = m_image.size().scaled(size(), Qt::KeepAspectRatioByExpanding);
      const QRect target(QPoint((width() - filled.width()) / 2, (height() - filled.height()) / 2),
                         filled);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target, m_image);
    } else {
      painter.setFont(monospacedFont(12));
      painter.setPen(palette::secondaryText());
      // Lines break between words; only a word wider than the card is broken inside.
      QTextOption wrapping(Qt::AlignCenter);
      wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
      painter.drawText(QRectF(rect()).adjusted(4, 4, -4, -4), m_text, wrapping);
    }
    if (m_hasCaption) {
      QFont font = painter.font();
      font.setPixelSize(12);
      painter.setFont(font);
      const int captionHeight = painter.fontMetrics().height() + 5;
      const QRect caption(0, height() - captionHeight, width(), captionHeight);
      painter.fillRect(caption, palette::tertiaryBackground());
      painter.setPen(Qt::white);
      const QRect text = caption.adjusted(3, 0, -3, 0);
      painter.drawText(text, Qt::AlignCenter,
                       painter.fontMetrics().elidedText(m_caption, Qt::ElideMiddle, text.width()));
    }
    QColor shade(Qt::black);
    shade.setAlphaF(static_cast<float>(m_shade.value()));
    painter.fillRect(rect(), shade);
  }

 private:
  PendingAttachment* m_attachment;
  ChatAttachmentView* m_chip;
  QImage m_image;
  QString m_text;
  QString m_caption;
  bool m_hasCaption = false;
  AnimatedValue m_shade;
};

// A white cross on a dark circle, a little larger while hovered.
class ChatAttachmentView::RemoveButton : public QToolButton {
 public:
  explicit RemoveButton(QWidget* parent)
      : QToolButton(parent),
        m_scale(
            kRemoveScale, hoverTiming(), [this](double) { update(); }, this) {
    setFixedSize(kRemoveSize, kRemoveSize);
    setCursor(Qt::ArrowCursor);
    setAccessibleName(QStringLiteral("Remove"));
  }

  qreal scale() const { return m_scale.value(); }

 protected:
  void enterEvent(QEnterEvent* event) override {
    QToolButton::enterEvent(event);
    m_scale.animateTo(kRemoveHoverScale);
  }
  void leaveEvent(QEvent* event) override {
    QToolButton::leaveEvent(event);
    m_scale.animateTo(kRemoveScale);
  }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal diameter = (kRemoveSize - 2) * scale();
    const QRectF circle(QPointF(width() - diameter, height() - diameter) / 2,
                        QSizeF(diameter, diameter));
    painter.setPen(QPen(palette::background(), 2));
    painter.setBrush(palette::raisedBackground());
    painter.drawEllipse(circle);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    const qreal arm = diameter * 0.2;
    const QPointF c = circle.center();
    painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
  }

 private:
  AnimatedValue m_scale;
};

// The pop-up beside the card holding the preview, with an arrow pointing at the card.
class ChatAttachmentView::Popover : public QWidget {
 public:
  Popover(QWidget* parent, ChatAttachmentPreview* preview) : QWidget(parent, Qt::Popup) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(preview);
  }

  void present(const QRect& card, Qt::Edge arrowEdge) {
    m_arrowEdge = arrowEdge;
    const bool right = arrowEdge == Qt::RightEdge;
    layout()->setContentsMargins(right ? kArrowSize : 0, 0, right ? 0 : kArrowSize, 0);
    const QSize size = sizeHint();
    QPoint origin(arrowEdge == Qt::RightEdge ? card.right() + 1 : card.left() - size.width(),
                  card.center().y() - size.height() / 2);
    if (const QScreen* screen = parentWidget()->screen()) {
      const QRect available = platform::Screens::workArea(screen);
      origin.ry() = std::clamp(origin.y(), available.top(),
                               std::max(available.top(), available.bottom() - size.height()));
    }
    m_arrowY = card.center().y() - origin.y();
    setGeometry(QRect(origin, size));
    show();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette::secondaryBackground());
    const bool left = m_arrowEdge == Qt::RightEdge;
    const qreal base = left ? kArrowSize : width() - kArrowSize;
    const qreal tip = left ? 0 : width();
    QPainterPath arrow;
    arrow.moveTo(base, m_arrowY - kArrowSize);
    arrow.lineTo(tip, m_arrowY);
    arrow.lineTo(base, m_arrowY + kArrowSize);
    arrow.closeSubpath();
    painter.fillPath(arrow, palette::raisedBackground());
  }

 private:
  Qt::Edge m_arrowEdge = Qt::LeftEdge;
  int m_arrowY = 0;
};

ChatAttachmentView::ChatAttachmentView(PendingAttachment* chatAttachment, QWidget* parent)
    : QWidget(parent),
      m_chatAttachment(chatAttachment),
      m_card(new Card(chatAttachment, this)),
      m_removeButton(new RemoveButton(m_card)),
      m_preview(new ChatAttachmentPreview(chatAttachment)),
      m_popover(nullptr) {
  m_popover = new Popover(this, m_preview);
  auto* shadow = new QGraphicsDropShadowEffect(m_card);
  shadow->setColor(QColor(0, 0, 0, qRound(255 * 0.33)));
  shadow->setBlurRadius(8);
  shadow->setOffset(0, 0);
  m_card->setGraphicsEffect(shadow);
  m_removeButton->move(kCardWidth - kRemoveSize - kRemoveInset, kRemoveInset);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(kPadding, 0, 0, kPadding);
  layout->addWidget(m_card);
  layout->addStretch();

  connect(m_removeButton, &QToolButton::clicked, this,
          [this] { m_chatAttachment->set(std::nullopt); });
  connect(m_preview, &ChatAttachmentPreview::closeRequested, this,
          [this] { setTextSheetPresented(false); });
  connect(m_chatAttachment, &PendingAttachment::changed, this, &ChatAttachmentView::refresh);
  refresh();
}

ChatAttachmentView::~ChatAttachmentView() = default;

QWidget* ChatAttachmentView::card() const { return m_card; }

QToolButton* ChatAttachmentView::removeButton() const { return m_removeButton; }

QWidget* ChatAttachmentView::popover() const {
  return m_popover->isVisible() ? m_popover : nullptr;
}

Qt::Edge ChatAttachmentView::arrowEdge() const {
  return UserSettings::shared().value(setting::popupPosition) == PopupPosition::left ? Qt::RightEdge
                                                                                     : Qt::LeftEdge;
}

bool ChatAttachmentView::isTextSheetPresented() const { return m_popover->isVisible(); }

void ChatAttachmentView::setTextSheetPresented(bool presented) {
  if (presented == isTextSheetPresented()) return;
  if (!presented) {
    m_popover->hide();
    return;
  }
  m_popover->present(QRect(m_card->mapToGlobal(QPoint(0, 0)), m_card->size()), arrowEdge());
}

void ChatAttachmentView::refresh() {
  const bool present = m_chatAttachment->value().has_value();
  if (!present) setTextSheetPresented(false);
  m_card->reload();
  setVisible(present);
}

}  // namespace tessra
