// The floating chat panel's window: an overlay window at the configured screen edge whose content
// is the `FloatingController`. Showing slides the chat view in and hides the side button; closing
// slides it out and brings the side button back at once.
//
// From the moment a hide is asked for, the panel takes no key: it closes every window it opened
// (its lists, sheets, menus and dialogs, as their Cancel would), gives the keyboard back at once
// to the window that had it before the panel (`KeyboardKeeper::returnKeyboard`), unless a press
// outside closes it (the press puts the keyboard where it was made, the panel itself when that is
// the window that had it, `KeyboardKeeper::returnKeyboardAfterPressAt`), and drops whatever key
// still reaches it while it slides out.
//
// While the panel is shown, a press of the left button anywhere outside it closes it, and what it
// opened with it (a dialog waiting for an answer too), unless the panel is pinned or the press is
// in another window of the program (one outside-click monitor at a time); pinned, the panel stays,
// and the window pressed gets the keyboard all the same. A press that an open menu or popup takes
// closes only that. A press is judged by where it happened and by the frame the
// panel had then, however late the program gets to it. A show or close asked for while a slide runs
// is held until the slide ends; the last one asked for wins. Ctrl+Q in the panel quits the
// program, as the tray menu's Quit does. GUI thread only.
#pragma once

#include <QPointer>
#include <QRect>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "platform/ui/global_event_monitor.h"
#include "platform/ui/overlay_window.h"

namespace tessra {

class FloatingController;

class FloatingWindow final : public platform::OverlayWindow {
  Q_OBJECT

 public:
  explicit FloatingWindow(QWidget* parent = nullptr);
  ~FloatingWindow() override;

  // Says whether a point in global coordinates lies on something of the program that is not a
  // top-level window of its own (the tray icon); a press there does not close the panel.
  void setOwnAreaTest(std::function<bool(const QPoint&)> test);

  FloatingController* controller() const { return m_controller; }

  // Shows the panel, takes the keyboard and slides the chat view in. Shown by the global shortcut,
  // it keeps the keyboard a moment against other clients that hand it on as the shortcut's grab
  // settles (platform::GlobalEventMonitor::keepKeyboardIn).
  void makeKeyAndOrderFront(bool fromShortcut = false);
  // Gives the keyboard back, slides the chat view out, then hides the panel. Hides
  // `QWidget::close`, which the panel never uses: a closed panel is only hidden.
  void close();

  // Whether the panel is shown or on its way in, counting a request held during a slide.
  bool isPanelShown() const;
  // Whether the outside-click monitor runs (while shown and until a slide-out ends).
  bool isMonitoringClicks() const { return m_monitor.isRunning(); }

  // Whether the panel was last closed by a press outside it at `point`, give or take the drag
  // distance, that nothing has claimed yet; a claim, or the next show, forgets it. A tray that
  // hosts the icon over D-Bus tells the program neither where the icon stands nor of a click
  // before its release: the press of a click on the icon, or on an entry of the menu that tray
  // shows, closes the panel as a press outside it, and the activation that follows belongs to the
  // same click.
  [[nodiscard]] bool takeClosingPress(const QPoint& point);
  // Where the press that last closed the panel was, until a claim or the next show forgets it.
  std::optional<QPoint> closingPress() const { return m_closingPress; }

 signals:
  // The panel has slid in (true) or out and been hidden (false).
  void panelVisibilityChanged(bool shown);
  // The side button should hide (false: the panel is being shown) or come back (true: the
  // slide-out starts, also when the slide takes no time).
  void triggerVisibilityRequested(bool visible);

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Request { show, hide };
  // A frame the panel had until a move or resize.
  struct PastFrame {
    std::chrono::steady_clock::time_point until;
    QRect frame;
  };
  void slideOut(bool returnKeyboard);
  void outsideClick(const platform::GlobalMouseEvent& event);
  void slideFinished();
  void frameChanged();
  // The panel's frame at `time`, forgetting those before it: presses come in the order they
  // happened.
  QRect takeFrameAt(std::chrono::steady_clock::time_point time);

  FloatingController* m_controller;
  std::function<bool(const QPoint&)> m_ownAreaTest;
  platform::GlobalEventMonitor m_monitor;
  bool m_shown = false;
  std::optional<Request> m_pending;
  std::optional<QPoint> m_closingPress;
  QRect m_frame;
  // The frames since the oldest press still to be judged may have happened, while the panel is
  // shown.
  std::vector<PastFrame> m_pastFrames;
};

}  // namespace tessra
