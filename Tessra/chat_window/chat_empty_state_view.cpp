#include "Tessra/chat_window/chat_empty_state_view.h"

#include <QGuiApplication>
#include <QPainter>
#include <QVBoxLayout>

#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

ChatEmptyStateView::ChatEmptyStateView(QWidget* parent)
    : QWidget(parent), m_icon(plainLabel({}, this)) {
  m_icon->setFixedSize(kIconSide, kIconSide);
  m_icon->setScaledContents(true);
  m_icon->setPixmap(QGuiApplication::windowIcon().pixmap(QSize(kIconSide, kIconSide)));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch();
  layout->addWidget(m_icon, 0, Qt::AlignHCenter);
  layout->addSpacing(kIconBottomPadding);
  layout->addStretch();
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChatEmptyStateView::paintEvent(QPaintEvent*) {
  QPainter(this).fillRect(rect(), palette::background());
}

}  // namespace tessra
