#include "Tessra/chat_window/floating_panel_expandable_layout.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Tessra/chat_window/floating_panel.h"
#include "Tessra/chat_window/floating_panel_view.h"
#include "Tessra/shell/base_window.h"
#include "Tessra/ui_foundation/animated_value.h"
#include "Tessra/ui_foundation/line_symbols.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/visual_effect_view.h"

namespace tessra {

namespace {

constexpr int kDividerWidth = 1;
constexpr int kToggleSymbolSize = 18;
// The secondary label colour of the dark appearance.
const QColor kToggleColor(255, 255, 255, 140);

QWidget* divider(QWidget* parent) {
  auto* line = new QWidget(parent);
  line->setAutoFillBackground(true);
  QPalette colors = line->palette();
  colors.setColor(QPalette::Window, palette::divider());
  line->setPalette(colors);
  return line;
}

}  // namespace

FloatingPanelExpandableLayout::FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar,
                                                             QWidget* content, double sidebarWidth,
                                                             double totalWidth, double minHeight,
                                                             double expandedWidth, QWidget* parent)
    : QWidget(parent),
      m_body(new QWidget(this)),
      m_sidebar(sidebar),
      m_content(content),
      m_contentDivider(divider(m_body)),
      m_toggle(new QPushButton(this)),
      m_background(new VisualEffectView(VisualEffectView::Material::sidebar,
                                        VisualEffectView::BlendingMode::withinWindow, false,
                                        VisualEffectView::State::followsWindowActiveState, this)),
      m_sidebarWidth(sidebarWidth),
      m_totalWidth(totalWidth),
      m_expandedWidth(expandedWidth) {
  setMinimumSize(static_cast<int>(std::ceil(sidebarWidth)), static_cast<int>(std::ceil(minHeight)));
  m_background->lower();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* toolbarRow = new QHBoxLayout;
  toolbarRow->setContentsMargins(16, 16, 16, 16);
  toolbarRow->addWidget(toolbar);
  toolbarRow->addStretch(1);
  m_toggle->setFlat(true);
  m_toggle->setFocusPolicy(Qt::NoFocus);
  m_toggle->setIconSize(QSize(kToggleSymbolSize, kToggleSymbolSize));
  toolbarRow->addWidget(m_toggle);
  column->addLayout(toolbarRow);
  QWidget* rule = divider(this);
  rule->setFixedHeight(kDividerWidth);
  column->addWidget(rule);
  column->addWidget(m_body, 1);

  m_expansion = new AnimatedValue(
      0, AnimatedValue::Timing::spring(kSpringResponse, kSpringDampingFraction),
      [this](double) { layOutBody(); }, this);
  // Its duration follows the distance of each change.
  m_frameWidth = new AnimatedValue(
      0, AnimatedValue::Timing::eased(0, timing_curves::easeInOut()),
      [this](double width) { setFrameWidth(width); }, this);
  sidebar->setParent(m_body);
  content->setParent(m_body);
  m_body->installEventFilter(this);
  connect(m_toggle, &QPushButton::clicked, this, &FloatingPanelExpandableLayout::toggleExpanded);
  followWidth();
}

double FloatingPanelExpandableLayout::expansion() const { return m_expansion->value(); }

bool FloatingPanelExpandableLayout::isAnimating() const {
  return m_expansion->isAnimating() || m_frameWidth->isAnimating();
}

void FloatingPanelExpandableLayout::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_background->setGeometry(rect());
  followWidth();
}

bool FloatingPanelExpandableLayout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_body && event->type() == QEvent::Resize) layOutBody();
  return false;
}

void FloatingPanelExpandableLayout::followWidth() {
  const bool expanded = isExpanded();
  if (m_expandedState == expanded) return;
  m_expandedState = expanded;
  m_toggle->setIcon(
      lineSymbol(expanded ? u"menubar.rectangle" : u"uiwindow.split.2x1", kToggleColor));
  const double target = expanded ? 1 : 0;
  if (isVisible()) {
    m_expansion->animateTo(target);
  } else {
    m_expansion->setValue(target);
    layOutBody();
  }
}

void FloatingPanelExpandableLayout::layOutBody() {
  const double width = m_body->width();
  const int height = m_body->height();
  const double progress = m_expansion->value();
  // Collapsed, the sidebar fills the row up to the total width; expanded, it keeps its own width
  // and the content fills the rest, sliding in from the trailing edge on the spring.
  const double collapsedSidebar = std::clamp(width, m_sidebarWidth, m_totalWidth);
  const double sidebar = collapsedSidebar + (m_sidebarWidth - collapsedSidebar) * progress;
  const double contentLeft = width + (m_sidebarWidth + kDividerWidth - width) * progress;
  const int contentWidth =
      std::max(0, static_cast<int>(std::lround(width - m_sidebarWidth)) - kDividerWidth);
  m_sidebar->setGeometry(0, 0, static_cast<int>(std::lround(sidebar)), height);
  const int left = static_cast<int>(std::lround(contentLeft));
  m_contentDivider->setGeometry(left - kDividerWidth, 0, kDividerWidth, height);
  m_content->setGeometry(left, 0, contentWidth, height);
  const bool shown = progress > 0;
  m_content->setVisible(shown);
  m_contentDivider->setVisible(shown);
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
  if (panel->minimumWidth() > newWidth) panel->setMinimumWidth(newWidth);
  m_frameCentre = frame.x() + frame.width() / 2.0;
  const double seconds = std::abs(newWidth - frame.width()) / 150.0 * kResizeSecondsPer150Points;
  m_frameWidth->setValue(frame.width());
  m_frameWidth->animateTo(newWidth, static_cast<int>(std::lround(seconds * 1000)));
}

void FloatingPanelExpandableLayout::setFrameWidth(double width) {
  QWidget* panel = hostingPanel();
  if (!panel) return;
  const QRect frame = panel->geometry();
  panel->setGeometry(static_cast<int>(std::lround(m_frameCentre - width / 2)), frame.y(),
                     static_cast<int>(std::lround(width)), frame.height());
}

}  // namespace tessra
