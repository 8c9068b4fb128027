// Dialogs in front of the program's overlay windows (X11).
//
// The floating panel and the small panels it opens are override-redirect windows that stand above
// every other window. Window managers never stack a window they manage above those: a dialog, a
// file picker or a question opened from the panel would open behind it, unseen, and still take
// the keyboard, so that one Return answers a question nobody saw. So every dialog of the program
// (a `QDialog`, or any window of dialog or sheet type) that is shown while an overlay that holds
// the keyboard is on screen is made an overlay too, before it is mapped: it is mapped above
// everything, Qt places it over its parent, a faint outline stands in for the frame no manager
// draws, and it takes the keyboard, with the keys typed since it was asked for; a press in it
// gives it the keyboard again; when it goes, the keyboard goes back to the window it came from
// (`KeyboardKeeper`). Dialogs shown while no overlay
// is on screen stay ordinary windows that the window manager places, decorates and focuses.
//
// Why the dialog is lifted rather than the panel lowered while a dialog is up: openbox restacks
// the windows it manages as one block below its own topmost window, so a panel placed under a
// dialog's frame drops below every other program's window at the manager's next restack and is
// no longer seen; and on a display without a window manager nobody would give the dialog the
// keyboard either way. An override-redirect dialog behaves the same under any window manager and
// without one.
//
//   OverlayDialogs::install();  // once; every overlay window does it when it is made
//
// GUI thread only.
#pragma once

#include <QObject>

namespace tessra::platform {

class OverlayDialogs final : public QObject {
  Q_OBJECT

 public:
  // Watches the application's dialogs from now on; later calls do nothing.
  static void install();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using QObject::QObject;
};

}  // namespace tessra::platform
