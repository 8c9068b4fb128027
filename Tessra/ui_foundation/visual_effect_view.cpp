#include "Tessra/ui_foundation/visual_effect_view.h"

#include <QEvent>
#include <QPainter>

#include "Tessra/ui_foundation/palette.h"
#include "platform/ui/x11_properties.h"

namespace tessra {

namespace {

struct Look {
  QColor tint;
  // How much of the tint covers what lies behind while translucent.
  double opacity;
};

// The materials in the program's dark palette: bars and side lists on the secondary background,
// menus and heads-up windows on the darkest, sheets and content on the card colour.
Look lookOf(VisualEffectView::Material material, bool isEmphasized) {
  using Material = VisualEffectView::Material;
  switch (material) {
    case Material::titlebar:
    case Material::headerView:
      return {palette::background(), 0.85};
    case Material::selection:
      return {isEmphasized ? palette::accent() : palette::selectedRow(), 0.75};
    case Material::menu:
    case Material::toolTip:
      return {palette::tertiaryBackground(), 0.9};
    case Material::popover:
    case Material::sheet:
      return {palette::background(), 0.9};
    case Material::sidebar:
    case Material::underPageBackground:
      return {palette::secondaryBackground(), 0.8};
    case Material::hudWindow:
    case Material::fullScreenUI:
    case Material::underWindowBackground:
      return {palette::tertiaryBackground(), 0.8};
    case Material::windowBackground:
    case Material::contentBackground:
      return {palette::background(), 0.95};
  }
  return {palette::background(), 1};
}

}  // namespace

VisualEffectView::VisualEffectView(Material material, BlendingMode blendingMode, bool isEmphasized,
                                   State state, QWidget* parent)
    : QWidget(parent),
      m_material(material),
      m_blendingMode(blendingMode),
      m_isEmphasized(isEmphasized),
      m_state(state) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void VisualEffectView::setMaterial(Material material) {
  m_material = material;
  update();
}

void VisualEffectView::setBlendingMode(BlendingMode blendingMode) {
  m_blendingMode = blendingMode;
  update();
}

void VisualEffectView::setEmphasized(bool isEmphasized) {
  m_isEmphasized = isEmphasized;
  update();
}

void VisualEffectView::setState(State state) {
  m_state = state;
  update();
}

QColor VisualEffectView::tint() const { return lookOf(m_material, m_isEmphasized).tint; }

bool VisualEffectView::isActive() const {
  switch (m_state) {
    case State::active:
      return true;
    case State::inactive:
      return false;
    case State::followsWindowActiveState:
      return isActiveWindow();
  }
  return false;
}

bool VisualEffectView::isTranslucent() const {
  if (!m_compositorRunning || !isActive()) return false;
  // Behind the window means through it: only a window that lets the desktop show can.
  return m_blendingMode == BlendingMode::withinWindow ||
         window()->testAttribute(Qt::WA_TranslucentBackground);
}

QColor VisualEffectView::drawnColor() const {
  const Look look = lookOf(m_material, m_isEmphasized);
  QColor color = look.tint;
  if (isTranslucent()) color.setAlphaF(static_cast<float>(look.opacity));
  return color;
}

void VisualEffectView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), drawnColor());
}

void VisualEffectView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  lookForCompositor();
}

void VisualEffectView::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  lookForCompositor();
  update();
}

void VisualEffectView::lookForCompositor() {
  xcb_connection_t* connection = platform::x11::connection();
  m_compositorRunning = connection && platform::x11::isCompositorRunning(connection);
}

}  // namespace tessra
