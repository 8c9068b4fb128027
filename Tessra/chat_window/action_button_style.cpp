#include "Tessra/chat_window/action_button_style.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "platform/ui/animations.h"

namespace tessra {

namespace {

constexpr int kFadeMilliseconds = 150;
constexpr double kIconFraction = 0.75;

}  // namespace

QColor ActionButtonStyle::background(bool hovered, bool pressed) const {
  if (pressed) return pressedBgColor;
  if (hovered) return hoverBgColor;
  return normalBgColor;
}

ActionButton::ActionButton(const QIcon& icon, ActionButtonStyle style, QWidget* parent)
    : ActionButton(QString(), std::move(style), parent) {
  setIcon(icon);
}

ActionButton::ActionButton(const QString& text, ActionButtonStyle style, QWidget* parent)
    : QAbstractButton(parent), m_style(std::move(style)) {
  setText(text);
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::ArrowCursor);
  const int side = static_cast<int>(std::lround(m_style.size));
  setFixedSize(side, side);
  setIconSize(QSize(side, side) * kIconFraction);
  m_fade.setEasingCurve(QEasingCurve::InOutQuad);
  m_fade.setStartValue(m_style.normalBgColor);
  m_fade.setEndValue(m_style.normalBgColor);
  connect(&m_fade, &QVariantAnimation::valueChanged, this, [this] { update(); });
  connect(this, &QAbstractButton::pressed, this, [this] { update(); });
  connect(this, &QAbstractButton::released, this, [this] { update(); });
}

ActionButton::ActionButton(QAction* action, ActionButtonStyle style, QWidget* parent)
    : ActionButton(QString(), std::move(style), parent) {
  setDefaultAction(action);
}

void ActionButton::setDefaultAction(QAction* action) {
  if (m_defaultAction) {
    disconnect(m_defaultAction, nullptr, this, nullptr);
    disconnect(this, &QAbstractButton::clicked, m_defaultAction, nullptr);
  }
  m_defaultAction = action;
  if (!action) return;
  connect(action, &QAction::changed, this, &ActionButton::showAction);
  connect(this, &QAbstractButton::clicked, action, &QAction::trigger);
  showAction();
}

void ActionButton::showAction() {
  setIcon(m_defaultAction->icon());
  setEnabled(m_defaultAction->isEnabled());
}

QColor ActionButton::currentBackground() const { return m_style.background(m_isHovered, isDown()); }

QColor ActionButton::paintedBackground() const {
  if (isDown()) return m_style.pressedBgColor;
  const QVariant value =
      m_fade.state() == QAbstractAnimation::Running ? m_fade.currentValue() : m_fade.endValue();
  return value.value<QColor>();
}

QSize ActionButton::sizeHint() const {
  const int side = static_cast<int>(std::lround(m_style.size));
  return {side, side};
}

void ActionButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath square;
  square.addRoundedRect(QRectF(rect()), ActionButtonStyle::kCornerRadius,
                        ActionButtonStyle::kCornerRadius);
  painter.fillPath(square, paintedBackground());
  painter.setClipPath(square);

  if (!icon().isNull()) {
    const QRect target(QPoint(0, 0), iconSize());
    QRect centred = target;
    centred.moveCenter(rect().center());
    icon().paint(&painter, centred, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    return;
  }
  painter.setPen(Qt::white);
  painter.drawText(rect(), Qt::AlignCenter, text());
}

void ActionButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  setHovered(true);
}

void ActionButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  setHovered(false);
}

bool ActionButton::hitButton(const QPoint& pos) const {
  QPainterPath square;
  square.addRoundedRect(QRectF(rect()), ActionButtonStyle::kCornerRadius,
                        ActionButtonStyle::kCornerRadius);
  return square.contains(pos);
}

void ActionButton::setHovered(bool hovered) {
  if (hovered == m_isHovered) return;
  m_isHovered = hovered;
  const QColor from = paintedBackground();
  m_fade.stop();
  m_fade.setStartValue(from);
  m_fade.setEndValue(m_style.background(hovered, false));
  m_fade.setDuration(platform::animationDuration(kFadeMilliseconds));
  m_fade.start();
  update();
}

}  // namespace tessra
