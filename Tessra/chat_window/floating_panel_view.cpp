#include "Tessra/chat_window/floating_panel_view.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/window_utilities.h"
#include "platform/ui/keyboard_focus.h"
#include "platform/ui/taskbar_policy.h"

namespace tessra {

FloatingPanelView::FloatingPanelView(const QRect& contentRect, bool showDockIcon, bool resizable,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_showDockIcon(showDockIcon) {
  setGeometry(contentRect);
  if (!resizable) setFixedSize(contentRect.size());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (!showDockIcon) platform::TaskbarPolicy::keepOffTaskbar(this);
}

FloatingPanelView::~FloatingPanelView() { countOut(); }

void FloatingPanelView::setContent(QWidget* content) {
  delete m_content;
  m_content = content;
  if (content) layout()->addWidget(content);
}

void FloatingPanelView::present(bool center) {
  if (m_showDockIcon && !m_counted) {
    m_counted = true;
    countDockWindowUp();
  }
  if (center) centerInWorkArea(this);
  show();
  raise();
  platform::activateShownWindow(windowHandle());
}

void FloatingPanelView::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  if (isActiveWindow()) {
    m_wasActive = true;
    return;
  }
  if (m_wasActive && m_closeAutomatically) close();
}

void FloatingPanelView::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted()) countOut();
}

void FloatingPanelView::countOut() {
  if (!m_counted) return;
  m_counted = false;
  countDockWindowDown();
}

}  // namespace tessra
