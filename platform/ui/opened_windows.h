// The windows the program opened over one of its windows: its menus, dialogs and panels, and
// theirs. Qt records the relation as each one's transient parent; a popup it shows with no parent
// (a completer's list) stands over the window of the widget it hands its keys to.
//
//   if (platform::isOpenedOver(QGuiApplication::focusWindow(), panel->windowHandle())) ...
//   platform::closeWindowsOpenedOver(panel->windowHandle());  // the panel is going
//   platform::closeWindowsLeftBehind(panel->windowHandle());  // the monitors changed around it
//
//   platform::OpenedWindowPlaces opened(panel->windowHandle());  // the panel moves
//   panel->setGeometry(frame);
//   opened.followInto(workArea);
//
// GUI thread only.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class QWindow;

namespace tessra::platform {

// Whether `window` is `over` or one of the windows opened over it.
bool isOpenedOver(const QWindow* window, const QWindow* over);

// Closes every shown window opened over `over`, the innermost first, as their Cancel would: a
// dialog is rejected, a menu dismissed, a panel closed. For a window that goes: what it opened
// must not stay on the desktop without it, holding the keyboard (a menu even grabs it, so that
// not even a global shortcut reaches the program).
void closeWindowsOpenedOver(const QWindow* over);

// Closes the same way those of them that the monitors as they now are leave off every one of them
// (no screen holds their middle). For a change of the monitors that leaves `over` where it
// stands: what it opened stands where it was opened, and would hold the keyboard off screen. What
// still stands on a monitor stays open, with what the user typed or chose in it; so do the windows
// that never take the keyboard, which follow what they stand beside (the prompt's slash list).
void closeWindowsLeftBehind(const QWindow* over);

// Where each shown window opened over `over` stands beside what it was opened from (the widget that
// opened it, else the window it was opened over), taken before `over` gets a new frame, so that
// each can go with it: a window stays where it was opened, wherever `over` goes, and would stand
// away from it, or off every monitor holding the keyboard.
class OpenedWindowPlaces {
 public:
  explicit OpenedWindowPlaces(const QWindow* over);

  // Moves each one still shown beside what it was opened from, as that now stands, the outermost
  // first (a submenu follows its menu), and as little further as keeps it wholly inside `area`;
  // one larger than `area` closes as its Cancel would. A popup with no place beside any of them (a
  // completer's list, which Qt shows with no parent) closes as its Cancel would, as a desktop's
  // list does when its window moves: left where it was, it would stand away from the field it
  // lists for, and the next key typed there shows it again. The windows that never take the
  // keyboard follow what they stand beside themselves.
  void followInto(const QRect& area) const;

 private:
  struct Place {
    QPointer<QWidget> window;
    QPointer<QWidget> openedFrom;
    // From the top left of `openedFrom` to that of the window's frame.
    QPoint offset;
  };
  std::vector<Place> m_places;
  // Shown over one of them, beside nothing that moves.
  std::vector<QPointer<QWidget>> m_closing;
};

}  // namespace tessra::platform
