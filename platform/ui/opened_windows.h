// The windows the program opened over one of its windows: its menus, dialogs and panels, and
// theirs. Qt records the relation as each one's transient parent.
//
//   if (platform::isOpenedOver(QGuiApplication::focusWindow(), panel->windowHandle())) ...
//   platform::closeWindowsOpenedOver(panel->windowHandle());  // the panel is going
//   platform::closeWindowsLeftBehind(panel->windowHandle());  // the monitors changed
//
// GUI thread only.
#pragma once

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
// (no screen holds their middle). For a change of the monitors: what `over` opened stands where it
// was opened, wherever `over` goes, and would hold the keyboard off screen. What still stands on a
// monitor stays open, with what the user typed or chose in it; so do the windows that never take
// the keyboard, which follow what they stand beside (the prompt's slash list).
void closeWindowsLeftBehind(const QWindow* over);

}  // namespace tessra::platform
