// A layout for the content of a floating panel: a toolbar row on top, below it a sidebar that is
// always shown and a content area shown only while the panel is wide enough. A button in the
// toolbar row widens or narrows the hosting panel itself, keeping its horizontal centre.
//
//   auto* layout = new FloatingPanelExpandableLayout(toolbar, sidebar, content, 240, 640, 400,
//                                                    900);
//   panel->setContent(layout);
//
// Collapsing remembers the width to return to; expanding goes back to it, never narrower than
// `totalWidth`. Outside a floating panel the button does nothing. Everything lies on the sidebar
// material of the desktop.
//
// It moves as the desktop moves windows and views: the panel's frame changes at the desktop's
// window-resize pace (0.2 s per 150 points, easing in and out), and when the panel becomes wide
// or narrow enough, a spring (response 0.5 s, critically damped) narrows or widens the sidebar
// while the content slides in from the trailing edge or out across it. GUI thread only.
//
// No panel of the program uses it yet: it is the layout a panel with a collapsible list takes.
#pragma once

#include <QPushButton>
#include <QWidget>

#include <optional>

namespace tessra {

class AnimatedValue;
class VisualEffectView;

class FloatingPanelExpandableLayout final : public QWidget {
  Q_OBJECT

 public:
  static constexpr double kSpringResponse = 0.5;
  static constexpr double kSpringDampingFraction = 1.0;
  // The desktop's pace of an animated window resize.
  static constexpr double kResizeSecondsPer150Points = 0.2;

  FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar, QWidget* content,
                                double sidebarWidth, double totalWidth, double minHeight,
                                double expandedWidth, QWidget* parent = nullptr);

  bool isExpanded() const { return m_totalWidth <= width(); }
  double expandedWidth() const { return m_expandedWidth; }
  QPushButton* toggleButton() const { return m_toggle; }
  QWidget* sidebar() const { return m_sidebar; }
  QWidget* content() const { return m_content; }
  VisualEffectView* background() const { return m_background; }
  // How far the layout is towards expanded, 0 to 1 (it may pass 1 on a spring's swing).
  double expansion() const;
  // Whether the panel's frame or the spring is still moving.
  bool isAnimating() const;

  void toggleExpanded();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The floating panel or panel window this layout is the content of, else null.
  QWidget* hostingPanel() const;
  // Springs towards the state the width gives; jumps there while not shown.
  void followWidth();
  void layOutBody();
  void setFrameWidth(double width);

  QWidget* m_body;
  QWidget* m_sidebar;
  QWidget* m_content;
  QWidget* m_contentDivider;
  QPushButton* m_toggle;
  VisualEffectView* m_background;
  double m_sidebarWidth;
  double m_totalWidth;
  double m_expandedWidth;
  std::optional<bool> m_expandedState;
  AnimatedValue* m_expansion = nullptr;
  AnimatedValue* m_frameWidth = nullptr;
  // The panel's horizontal centre while its frame moves.
  double m_frameCentre = 0;
};

}  // namespace tessra
