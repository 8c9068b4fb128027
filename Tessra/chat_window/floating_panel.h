// The small floating panel a chat window opens its secondary views in (the conversation
// switcher, the topic list, the new-or-rename form, the key entry, a conversation's settings).
//
// It hosts one content widget, stacks above the floating chat panel, takes the keyboard when it
// is shown and closes as soon as the keyboard focus goes to a window outside it. However it
// closes, it writes false into its presenter's flag. Made and dropped by a
// `FloatingPanelPresenter`; the content may close its own panel with `close()`.
//
// GUI thread only.
#pragma once

#include <QPointer>

#include "Tessra/ui_foundation/small_views.h"
#include "platform/ui/overlay_panel.h"

namespace tessra {

class FloatingPanel final : public platform::OverlayPanel {
  Q_OBJECT

 public:
  static constexpr int kCornerRadius = 16;

  // `contentRect` is where the panel shows, in screen pixels. With a background the panel draws
  // a rounded opaque card; without one it is fully transparent. A panel opened over `parent` is a
  // window of its own that counts as opened over `parent`'s window.
  FloatingPanel(const QRect& contentRect, BoolBinding isPresented, bool hasBackground,
                QWidget* parent = nullptr);

  // The panel's content fills it; the panel owns it.
  void setContent(QWidget* content);
  QWidget* content() const { return m_content; }
  const QRect& contentRect() const { return m_contentRect; }
  bool hasBackground() const { return m_hasBackground; }

  // Shows the panel at its rectangle and gives it the keyboard.
  void present() { OverlayPanel::present(m_contentRect); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect m_contentRect;
  BoolBinding m_isPresented;
  bool m_hasBackground;
  QPointer<QWidget> m_content;
};

}  // namespace tessra
