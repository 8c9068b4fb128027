#include "Tessra/chat_window/floating_panel.h"

#include <QCloseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

FloatingPanel::FloatingPanel(const QRect& contentRect, BoolBinding isPresented, bool hasBackground,
                             QWidget* parent)
    : OverlayPanel(parent),
      m_contentRect(contentRect),
      m_isPresented(std::move(isPresented)),
      m_hasBackground(hasBackground) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (m_hasBackground) {
    setCornerRadius(kCornerRadius);
  } else {
    setAttribute(Qt::WA_TranslucentBackground);
  }
  connect(this, &OverlayPanel::focusLeft, this, &QWidget::close);
}

void FloatingPanel::setContent(QWidget* content) {
  delete m_content;
  m_content = content;
  if (content) layout()->addWidget(content);
}

void FloatingPanel::closeEvent(QCloseEvent* event) {
  OverlayPanel::closeEvent(event);
  if (event->isAccepted() && m_isPresented.set) m_isPresented.set(false);
}

void FloatingPanel::paintEvent(QPaintEvent*) {
  if (!m_hasBackground) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette::secondaryBackground());
  painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
}

}  // namespace tessra
