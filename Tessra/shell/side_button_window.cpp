#include "Tessra/shell/side_button_window.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include "Tessra/shell/menu_bar_icon.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/palette.h"
#include "platform/ui/screens.h"

namespace tessra {
namespace {

constexpr int kIconSize = 22;
constexpr int kIconPadding = 22;
constexpr int kInset = 4;
constexpr double kCornerRadius = 28;
constexpr double kHoverOpacity = 0.8;
constexpr double kIdleOpacity = 0.25;

}  // namespace

CallToActionView::CallToActionView(QWidget* parent)
    : QAbstractButton(parent),
      m_windowPosition(UserSettings::shared().value(setting::popupPosition)) {
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  UserSettings::shared().onValueChanged(setting::popupPosition, this,
                                        [this](PopupPosition position) {
                                          m_windowPosition = position;
                                          update();
                                        });
}

QSize CallToActionView::sizeHint() const {
  return {SideButtonWindow::kWidth, SideButtonWindow::kHeight};
}

void CallToActionView::setHover(bool hover) {
  if (hover == m_hover) return;
  m_hover = hover;
  update();
  emit hoverChanged(hover);
}

void CallToActionView::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  setHover(true);
}

void CallToActionView::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  setHover(false);
}

void CallToActionView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF bounds(rect());
  const double radius = std::min(kCornerRadius, bounds.height() / 2);
  QPainterPath pill;
  pill.addRoundedRect(bounds, radius, radius);
  painter.fillPath(pill, palette::background());
  if (m_hover) {
    QColor outline(Qt::white);
    outline.setAlphaF(0.2);
    painter.setPen(QPen(outline, 2));
    painter.drawPath(pill);
  }
  // The icon keeps away from the part of the pill beyond the screen's edge.
  const QRectF content = bounds.adjusted(kInset, kInset, -kInset, -kInset);
  const double block = kIconSize + kIconPadding;
  double x = content.x() + (content.width() - block) / 2;
  if (m_windowPosition != PopupPosition::right) x += kIconPadding;
  const QRectF iconRect(x, content.center().y() - kIconSize / 2.0, kIconSize, kIconSize);
  painter.drawPixmap(iconRect.topLeft(),
                     menuBarIconPixmap(kIconSize, Qt::white, devicePixelRatioF()));
}

SideButtonWindow::SideButtonWindow(QWidget* parent)
    : OverlayWindow(parent), m_view(new CallToActionView(this)) {
  setWindowTitle(QStringLiteral("Tessra Button"));
  setTakesFocusOnShow(false);
  setTakesFocusOnPress(false);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setRoundedCorners(kHeight / 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  setWindowOpacity(kIdleOpacity);
  connect(m_view, &QAbstractButton::clicked, this, &SideButtonWindow::clicked);
  connect(m_view, &CallToActionView::hoverChanged, this,
          [this](bool hover) { setWindowOpacity(hover ? kHoverOpacity : kIdleOpacity); });
}

QRect SideButtonWindow::overlayButtonFrame(QScreen* screen) {
  const PopupPosition position = UserSettings::shared().value(setting::popupPosition);
  // The screen the panel opens on, so that the two agree.
  if (screen == nullptr) screen = platform::Screens::mainScreen();
  if (screen == nullptr) return {};
  const QRect frame = screen->geometry();
  const int x = position == PopupPosition::left ? frame.x() - kBeyondEdge
                                                : frame.x() + frame.width() - kWidth + kBeyondEdge;
  const int y = frame.y() + (frame.height() - kHeight) / 2;
  return {x, y, kWidth, kHeight};
}

}  // namespace tessra
