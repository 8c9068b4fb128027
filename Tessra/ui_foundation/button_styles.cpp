#include "Tessra/ui_foundation/button_styles.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

constexpr int kFlatHorizontalPadding = 16;
constexpr int kFlatVerticalPadding = 8;
constexpr qreal kFlatCornerRadius = 6;
constexpr int kFlatIconSpacing = 6;
constexpr qreal kFlatDisabledOpacity = 0.45;
constexpr int kCirclePadding = 8;
constexpr int kRowHeight = DiscordChannelButton::kHeight;
constexpr int kRowHorizontalPadding = 8;
constexpr qreal kRowCornerRadius = 5;

// Low contrast pulls every channel towards the middle grey, as a contrast effect does.
QColor withContrast(const QColor& color, double contrast) {
  auto channel = [contrast](double value) {
    return std::clamp((value - 0.5) * contrast + 0.5, 0.0, 1.0);
  };
  return QColor::fromRgbF(channel(color.redF()), channel(color.greenF()), channel(color.blueF()),
                          color.alphaF());
}

// A transition from 0 to 1 over `milliseconds`, eased out as the platform's standard ease-out
// curve is, repainting `owner` at every step.
QVariantAnimation* makeTransition(QWidget* owner, int milliseconds) {
  auto* transition = new QVariantAnimation(owner);
  transition->setStartValue(0.0);
  transition->setEndValue(1.0);
  transition->setDuration(milliseconds);
  QEasingCurve easeOut(QEasingCurve::BezierSpline);
  easeOut.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
  transition->setEasingCurve(easeOut);
  QObject::connect(transition, &QVariantAnimation::valueChanged, owner,
                   [owner] { owner->update(); });
  return transition;
}

// How far the transition has come; 1 when none runs.
double progressOf(const QVariantAnimation* transition) {
  if (transition->state() != QAbstractAnimation::Running) return 1.0;
  return transition->currentValue().toDouble();
}

void restart(QVariantAnimation* transition) {
  transition->stop();
  transition->start();
}

double mixed(double from, double to, double progress) {
  return progress >= 1.0 ? to : from + (to - from) * progress;
}

QColor mixed(const QColor& from, const QColor& to, double progress) {
  if (progress >= 1.0) return to;
  const QColor a = from.toRgb();
  const QColor b = to.toRgb();
  return QColor::fromRgbF(
      mixed(a.redF(), b.redF(), progress), mixed(a.greenF(), b.greenF(), progress),
      mixed(a.blueF(), b.blueF(), progress), mixed(a.alphaF(), b.alphaF(), progress));
}

QFont sizedFont(QFont font, int pixelSize, QFont::Weight weight) {
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

}  // namespace

QColor FlatButtonStyle::base(bool destructive) const {
  if (customBase) return *customBase;
  if (destructive) return palette::systemRed();
  return prominent ? palette::accent() : palette::control();
}

QColor FlatButtonStyle::adjusted(const QColor& color, double hue, double saturation,
                                 double brightness) {
  float h = 0;
  float s = 0;
  float v = 0;
  float a = 0;
  color.toHsv().getHsvF(&h, &s, &v, &a);
  // An achromatic colour has no hue to scale.
  const float newHue = h < 0 ? -1.0f : std::clamp(static_cast<float>(h * hue), 0.0f, 1.0f);
  return QColor::fromHsvF(newHue, std::clamp(static_cast<float>(s * saturation), 0.0f, 1.0f),
                          std::clamp(static_cast<float>(v * brightness), 0.0f, 1.0f), a);
}

QColor FlatButtonStyle::foreground(const QColor& fill) {
  const QColor rgb = fill.toRgb();
  if (rgb.alphaF() < 0.5) return palette::primary();
  const double mean = (rgb.redF() + rgb.greenF() + rgb.blueF()) / 3.0;
  return mean > 0.6 ? QColor(Qt::black) : QColor(Qt::white);
}

FlatButtonStyle::Look FlatButtonStyle::look(bool destructive, bool hovered, bool pressed) const {
  const QColor b = base(destructive);
  const QColor hover = adjusted(b, 1.0, kHoverSaturation, kHoverBrightness);
  const QColor press = adjusted(b, 1.0, kPressSaturation, kPressBrightness);
  const QColor clear(Qt::transparent);
  Look look;
  if (!outlined) {
    look.fill = pressed ? press : (hovered ? hover : b);
    look.border = clear;
  } else if (!pressed) {
    look.fill = hovered ? b : clear;
    look.border = b;
  } else {
    look.fill = hovered ? hover : clear;
    look.border = hover;
  }
  if (!outlined || text) look.border = clear;
  look.foreground = foreground(look.fill);
  return look;
}

FlatButton::FlatButton(const QString& title, FlatButtonStyle style, QWidget* parent)
    : QPushButton(title, parent),
      m_style(std::move(style)),
      m_from(currentLook()),
      m_transition(makeTransition(this, kTransitionMilliseconds)) {
  setFont(sizedFont(font(), 16, QFont::Medium));
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::StrongFocus);
  // Return on a focused button performs it, as in a dialog.
  setAutoDefault(true);
}

void FlatButton::setDestructive(bool destructive) {
  m_destructive = destructive;
  update();
}

FlatButtonStyle::Look FlatButton::currentLook() const {
  return m_style.look(m_destructive, m_hovered, isDown());
}

QSize FlatButton::sizeHint() const {
  QSize content = fontMetrics().size(Qt::TextSingleLine, text());
  if (!icon().isNull()) {
    content.rwidth() += iconSize().width() + kFlatIconSpacing;
    content.setHeight(std::max(content.height(), iconSize().height()));
  }
  return content + QSize(2 * kFlatHorizontalPadding, 2 * kFlatVerticalPadding);
}

FlatButtonStyle::Look FlatButton::displayedLook() const {
  const FlatButtonStyle::Look to = m_style.look(m_destructive, m_shownHovered, m_shownPressed);
  const double progress = progressOf(m_transition);
  return {mixed(m_from.fill, to.fill, progress), mixed(m_from.border, to.border, progress),
          mixed(m_from.foreground, to.foreground, progress)};
}

void FlatButton::paintEvent(QPaintEvent*) {
  // Every hover and press comes with a repaint: the transition to the new look starts from
  // whatever was on screen.
  if (m_hovered != m_shownHovered || isDown() != m_shownPressed) {
    m_from = displayedLook();
    m_shownHovered = m_hovered;
    m_shownPressed = isDown();
    restart(m_transition);
  }
  const FlatButtonStyle::Look look = displayedLook();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()), kFlatCornerRadius, kFlatCornerRadius);
  painter.fillPath(shape, look.fill);
  if (look.border.alpha() > 0) {
    // Stroked inside the edge, so the border stays within the shape.
    QPainterPath inner;
    inner.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kFlatCornerRadius - 0.5,
                         kFlatCornerRadius - 0.5);
    painter.setPen(QPen(look.border, 1));
    painter.drawPath(inner);
  }
  // A disabled button keeps its shape but fades, so it reads as unavailable.
  if (!isEnabled()) painter.setOpacity(kFlatDisabledOpacity);
  painter.setPen(look.foreground);
  if (icon().isNull()) {
    painter.drawText(rect(), Qt::AlignCenter, text());
    return;
  }
  // Title, then icon, centred together.
  const int textWidth = fontMetrics().horizontalAdvance(text());
  const QSize glyph = iconSize();
  const int left = (width() - textWidth - kFlatIconSpacing - glyph.width()) / 2;
  painter.drawText(QRect(left, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
  icon().paint(
      &painter,
      QRect(QPoint(left + textWidth + kFlatIconSpacing, (height() - glyph.height()) / 2), glyph));
}

void FlatButton::enterEvent(QEnterEvent* event) {
  m_hovered = true;
  update();
  QPushButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
  m_hovered = false;
  update();
  QPushButton::leaveEvent(event);
}

CircleButton::CircleButton(const QString& label, QColor color, QColor hoverColor,
                           QColor pressedColor, QColor textColor, QWidget* parent)
    : QAbstractButton(parent),
      m_color(std::move(color)),
      m_hoverColor(std::move(hoverColor)),
      m_pressedColor(std::move(pressedColor)),
      m_textColor(std::move(textColor)),
      m_transition(makeTransition(this, kHoverTransitionMilliseconds)) {
  setText(label);
  setAttribute(Qt::WA_Hover);
}

QColor CircleButton::fillFor(bool hovering) const {
  if (!isEnabled()) return m_color;
  if (isDown()) return m_pressedColor;
  return hovering ? m_hoverColor : m_color;
}

double CircleButton::scaleFor(bool hovering) const {
  if (!isEnabled()) return 1.0;
  if (isDown()) return 1.02;
  return hovering ? 1.07 : 1.0;
}

QColor CircleButton::currentFill() const { return fillFor(m_hovering); }

double CircleButton::currentScale() const { return scaleFor(m_hovering); }

// Only the hover change is eased; a press or a change of the enabled state shows at once, also
// in the middle of a hover transition.
QColor CircleButton::displayedFill() const {
  return mixed(m_fromFill, fillFor(m_shownHovering), progressOf(m_transition));
}

double CircleButton::displayedScale() const {
  return mixed(m_fromScale, scaleFor(m_shownHovering), progressOf(m_transition));
}

QSize CircleButton::sizeHint() const {
  const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
  const int diameter = std::max(textSize.width(), textSize.height()) + 2 * kCirclePadding;
  // Room for the hover scale, so the grown circle is not clipped.
  const int side = static_cast<int>(std::ceil(diameter * 1.07));
  return {side, side};
}

void CircleButton::paintEvent(QPaintEvent*) {
  if (m_hovering != m_shownHovering) {
    m_fromFill = displayedFill();
    m_fromScale = displayedScale();
    m_shownHovering = m_hovering;
    restart(m_transition);
  }
  const double contrast = currentContrast();
  const double scale = displayedScale();
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF centre = QRectF(rect()).center();
  painter.translate(centre);
  painter.scale(scale, scale);
  painter.translate(-centre);
  const double diameter = std::min(width(), height()) / 1.07;
  const QRectF circle(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter);
  painter.setPen(Qt::NoPen);
  painter.setBrush(withContrast(displayedFill(), contrast));
  painter.drawEllipse(circle);
  painter.setPen(withContrast(m_textColor, contrast));
  painter.drawText(circle, Qt::AlignCenter, text());
}

void CircleButton::enterEvent(QEnterEvent* event) {
  if (isEnabled()) m_hovering = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CircleButton::leaveEvent(QEvent* event) {
  if (isEnabled()) m_hovering = false;
  update();
  QAbstractButton::leaveEvent(event);
}

DiscordChannelButton::DiscordChannelButton(const QString& label, bool isSelected,
                                           bool isHighlighted, QWidget* parent)
    : QAbstractButton(parent), m_isSelected(isSelected), m_isHighlighted(isHighlighted) {
  setText(label);
  setFont(sizedFont(font(), 13, QFont::Normal));
  setAttribute(Qt::WA_Hover);
  setFixedHeight(kRowHeight);
}

DiscordChannelButton::Look DiscordChannelButton::look(bool isSelected, bool isHighlighted,
                                                      bool isHovered) {
  Look look;
  if (isHighlighted)
    look.foreground = palette::highlightedText();
  else
    look.foreground = isSelected ? palette::label() : palette::gray();
  if (isSelected) {
    look.background = palette::selectedRow();
    look.background.setAlphaF(0.25f);
  } else if (isHovered) {
    look.background = palette::secondaryBackground();
    look.background.setAlphaF(0.5f);
  } else {
    look.background = palette::tertiaryBackground();
  }
  return look;
}

void DiscordChannelButton::paintRow(QPainter& painter, const QRectF& rect, const QString& text,
                                    const Look& look, Qt::Alignment alignment) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(rect, kRowCornerRadius, kRowCornerRadius);
  painter.fillPath(shape, look.background);
  painter.setPen(look.foreground);
  const QRectF textRect = rect.adjusted(kRowHorizontalPadding, 0, -kRowHorizontalPadding, 0);
  drawColorEmojiText(painter, textRect, alignment, text);
  painter.restore();
}

QColor DiscordChannelButton::currentForeground() const {
  return look(m_isSelected, m_isHighlighted, m_isHovered).foreground;
}

QColor DiscordChannelButton::currentAccent() const {
  return m_isSelected ? palette::label() : palette::gray();
}

QColor DiscordChannelButton::currentBackground() const {
  return look(m_isSelected, m_isHighlighted, m_isHovered).background;
}

QSize DiscordChannelButton::sizeHint() const {
  const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
  return {textSize.width() + 2 * kRowHorizontalPadding, kRowHeight};
}

void DiscordChannelButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintRow(painter, QRectF(rect()), text(), look(m_isSelected, m_isHighlighted, m_isHovered),
           Qt::AlignHCenter);
}

void DiscordChannelButton::enterEvent(QEnterEvent* event) {
  m_isHovered = true;
  update();
  QAbstractButton::enterEvent(event);
}

void DiscordChannelButton::leaveEvent(QEvent* event) {
  m_isHovered = false;
  update();
  QAbstractButton::leaveEvent(event);
}

namespace {

// A key a child ignored reaches its parents, and their filters, in turn.
class EscapeClicks final : public QObject {
 public:
  explicit EscapeClicks(QAbstractButton* cancel) : QObject(cancel), m_cancel(cancel) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier) return false;
    if (!m_cancel->isEnabled() || !m_cancel->isVisible()) return false;
    m_cancel->click();
    return true;
  }

 private:
  QAbstractButton* m_cancel;
};

}  // namespace

void clickOnEscape(QAbstractButton* cancel, QWidget* scope) {
  scope->installEventFilter(new EscapeClicks(cancel));
}

}  // namespace tessra
