// A backdrop of one of the desktop's materials (sidebar, menu, popover, ...) for layouts that want
// a material behind their content rather than a colour of their own.
//
//   auto* backdrop = new VisualEffectView(VisualEffectView::Material::sidebar,
//                                         VisualEffectView::BlendingMode::withinWindow, false,
//                                         VisualEffectView::State::followsWindowActiveState,
//                                         panel);
//
// Each material has a tint of the program's dark palette. While the material is active and a
// compositing manager runs, the tint is drawn translucent over what lies behind it (the window's
// content within the window, the desktop behind a translucent window); without a compositor, or
// while inactive, it is a flat tint of the same colour. Active means: always for `active`, never
// for `inactive`, and while its window is the active one for `followsWindowActiveState`. The
// compositor is looked for when the view is shown and when its window's activation changes.
//
// It takes no focus; clicks pass through it to what lies beneath. GUI thread only.
#pragma once

#include <QColor>
#include <QWidget>

namespace tessra {

class VisualEffectView : public QWidget {
  Q_OBJECT

 public:
  // The desktop's materials, by their numbers there.
  enum class Material {
    titlebar = 3,
    selection = 4,
    menu = 5,
    popover = 6,
    sidebar = 7,
    headerView = 10,
    sheet = 11,
    windowBackground = 12,
    hudWindow = 13,
    fullScreenUI = 15,
    toolTip = 17,
    contentBackground = 18,
    underWindowBackground = 21,
    underPageBackground = 22,
  };
  enum class BlendingMode { behindWindow = 0, withinWindow = 1 };
  enum class State { followsWindowActiveState = 0, active = 1, inactive = 2 };

  VisualEffectView(Material material, BlendingMode blendingMode, bool isEmphasized, State state,
                   QWidget* parent = nullptr);

  Material material() const { return m_material; }
  BlendingMode blendingMode() const { return m_blendingMode; }
  bool isEmphasized() const { return m_isEmphasized; }
  State state() const { return m_state; }

  void setMaterial(Material material);
  void setBlendingMode(BlendingMode blendingMode);
  void setEmphasized(bool isEmphasized);
  void setState(State state);

  // The material's colour, opaque: what the view draws flat.
  QColor tint() const;
  // Whether it draws translucent now (active, over a compositing desktop).
  bool isTranslucent() const;
  // The colour it draws now: the tint, with its translucency when it has one.
  QColor drawnColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  bool isActive() const;
  void lookForCompositor();

  Material m_material;
  BlendingMode m_blendingMode;
  bool m_isEmphasized;
  State m_state;
  bool m_compositorRunning = false;
};

}  // namespace tessra
