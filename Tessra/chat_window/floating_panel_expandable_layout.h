// A layout for the content of a floating panel: a toolbar row on top, below it a sidebar that is
// always shown and a content area shown only while the panel is wide enough. A button in the
// toolbar row widens or narrows the hosting panel itself, keeping its horizontal centre.
//
//   auto* layout = new FloatingPanelExpandableLayout(toolbar, sidebar, content, 240, 640, 400,
//                                                    900);
//   panel->setContent(layout);
//
// Collapsing remembers the width to return to; expanding goes back to it, never narrower than
// `totalWidth`. Outside a floating panel the button does nothing. GUI thread only.
#pragma once

#include <QPushButton>
#include <QWidget>

namespace tessra {

class FloatingPanelExpandableLayout final : public QWidget {
  Q_OBJECT

 public:
  FloatingPanelExpandableLayout(QWidget* toolbar, QWidget* sidebar, QWidget* content,
                                double sidebarWidth, double totalWidth, double minHeight,
                                double expandedWidth, QWidget* parent = nullptr);

  bool isExpanded() const { return m_totalWidth <= width(); }
  double expandedWidth() const { return m_expandedWidth; }
  QPushButton* toggleButton() const { return m_toggle; }
  QWidget* content() const { return m_content; }

  void toggleExpanded();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The floating panel or panel window this layout is the content of, else null.
  QWidget* hostingPanel() const;
  void applyExpansion();

  QWidget* m_sidebar;
  QWidget* m_content;
  QWidget* m_contentDivider;
  QPushButton* m_toggle;
  double m_sidebarWidth;
  double m_totalWidth;
  double m_expandedWidth;
};

}  // namespace tessra
