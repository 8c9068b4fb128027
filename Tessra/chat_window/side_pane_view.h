// Lays a chat window's main column and a 200-pixel side pane (the conversation list) side by
// side. The pane sits on the side away from the screen edge the window is docked to: on the
// right for a window docked right, on the left for every other edge and for a standalone chat
// window, and follows the panel's edge as the settings change it. Whether it is shown is the
// settings' `sideBarVisible`: read when the view first appears, written on every change.
//
//   auto* pane = new SidePaneView(column, conversationList, ChatSource::master,
//                                 UserSettings::shared().value(setting::popupPosition));
//   connect(pane, &SidePaneView::presentingChanged, this, &ChatView::sidePaneChanged);
//
// GUI thread only.
#pragma once

#include <QWidget>

#include "Tessra/chat_window/chat_source.h"
#include "Tessra/storage/settings_enums.h"

class QHBoxLayout;

namespace tessra {

class SidePaneView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPaneWidth = 200;

  // `menu` may be null: the pane is then empty.
  SidePaneView(QWidget* content, QWidget* menu, ChatSource source, PopupPosition position,
               QWidget* parent = nullptr);

  bool isPresenting() const { return m_isPresenting; }
  void setPresenting(bool presenting);
  PopupPosition position() const { return m_position; }
  bool paneOnTrailingSide() const;

  QWidget* content() const { return m_content; }
  // The pane: a divider on its left and the menu.
  QWidget* pane() const { return m_pane; }
  void setMenu(QWidget* menu);

 signals:
  void presentingChanged(bool presenting);

 private:
  void arrange();

  QWidget* m_content;
  QWidget* m_pane;
  QWidget* m_menu = nullptr;
  QHBoxLayout* m_layout;
  ChatSource m_source;
  PopupPosition m_position;
  bool m_isPresenting = false;
};

}  // namespace tessra
