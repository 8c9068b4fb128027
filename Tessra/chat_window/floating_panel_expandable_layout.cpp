#include "Tessra/chat_window/floating_panel_expandable_layout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Tessra/chat_window/floating_panel.h"
#include "Tessra/chat_window/floating_panel_view.h"

namespace tessra {

namespace {

QFrame* line(QFrame::Shape shape, QWidget* parent) {
  auto* divider = new QFrame(parent);
  divider->setFrameShape(shape);
  divider->setStyleSheet(QStringLiteral("color: #242529;"));
  return divider;
}

}  // namespace

FloatingPanelExpandableLayout::FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar,
                                                             QWidget* content, double sidebarWidth,
                                                             double totalWidth, double minHeight,
                                                             double expandedWidth, QWidget* parent)
    : QWidget(parent),
      m_sidebar(sidebar),
      m_content(content),
      m_contentDivider(line(QFrame::VLine, this)),
      m_toggle(new QPushButton(this)),
      m_sidebarWidth(sidebarWidth),
      m_totalWidth(totalWidth),
      m_expandedWidth(expandedWidth) {
  setMinimumSize(static_cast<int>(std::ceil(sidebarWidth)), static_cast<int>(std::ceil(minHeight)));
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(QStringLiteral("tessra--FloatingPanelExpandableLayout { background: #2b2d31; }"));

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* toolbarRow = new QHBoxLayout;
  toolbarRow->setContentsMargins(16, 16, 16, 16);
  toolbarRow->addWidget(toolbar);
  toolbarRow->addStretch(1);
  m_toggle->setFlat(true);
  m_toggle->setFocusPolicy(Qt::NoFocus);
  toolbarRow->addWidget(m_toggle);
  column->addLayout(toolbarRow);
  column->addWidget(line(QFrame::HLine, this));

  auto* body = new QHBoxLayout;
  body->setSpacing(0);
  body->addWidget(sidebar);
  body->addWidget(m_contentDivider);
  body->addWidget(content, 1);
  column->addLayout(body, 1);
  sidebar->setParent(this);
  content->setParent(this);

  connect(m_toggle, &QPushButton::clicked, this, &FloatingPanelExpandableLayout::toggleExpanded);
  applyExpansion();
}

void FloatingPanelExpandableLayout::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  applyExpansion();
}

void FloatingPanelExpandableLayout::applyExpansion() {
  const bool expanded = isExpanded();
  m_sidebar->setMinimumWidth(static_cast<int>(m_sidebarWidth));
  m_sidebar->setMaximumWidth(static_cast<int>(expanded ? m_sidebarWidth : m_totalWidth));
  m_content->setVisible(expanded);
  m_contentDivider->setVisible(expanded);
  m_toggle->setText(expanded ? QStringLiteral("⊟") : QStringLiteral("◫"));
}

QWidget* FloatingPanelExpandableLayout::hostingPanel() const {
  QWidget* host = window();
  if (qobject_cast<FloatingPanel*>(host) || qobject_cast<FloatingPanelView*>(host)) return host;
  return nullptr;
}

void FloatingPanelExpandableLayout::toggleExpanded() {
  QWidget* panel = hostingPanel();
  if (!panel) return;
  const QRect frame = panel->geometry();
  double width;
  if (m_totalWidth <= frame.width()) {
    m_expandedWidth = frame.width();
    width = m_sidebarWidth;
  } else {
    width = std::max(m_expandedWidth, m_totalWidth);
  }
  const int newWidth = static_cast<int>(std::lround(width));
  const int x = static_cast<int>(std::lround(frame.x() + frame.width() / 2.0 - width * 0.5));
  if (panel->minimumWidth() > newWidth) panel->setMinimumWidth(newWidth);
  panel->setGeometry(x, frame.y(), newWidth, frame.height());
}

}  // namespace tessra
