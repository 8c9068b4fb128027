// The keyboard among the program's windows on X11.
//
// No window manager gives an override-redirect window (the floating panel, the small panels it
// opens, dialogs shown above them) the keyboard, and when such a window goes while it has the
// input focus, the server drops the focus to the root, where a window manager hands it to some
// other program and without one no key reaches anyone. So the program takes the keyboard for these
// windows itself, when they are shown and when they are pressed, and hands it back to the window
// it came from before they go; a window that goes slowly (a panel sliding out) gives it back as
// it starts to go, also to another program's window.
//
//   KeyboardKeeper::of(panel->windowHandle());  // from now on, at each show, press and hide
//   platform::giveKeyboard(panel->windowHandle());  // once, now
//   KeyboardKeeper::of(panel->windowHandle()).returnKeyboard();  // now, though it stays on screen
//
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWindow>

#include <cstdint>
#include <optional>

namespace tessra::platform {

// Whether the window bypasses the window manager (X11 override-redirect).
bool bypassesWindowManager(const QWindow& window);

// Gives the shown `window` the keyboard now. An override-redirect window gets the X input focus
// stamped with the server's current time, so a focus change the program has not heard of yet (a
// window that had the focus went away) cannot make the server ignore the request; a managed
// window is activated through the window manager.
void giveKeyboard(QWindow* window);

// Asks the window manager to activate the managed `window`, which the program has just shown, and
// gives it the keyboard itself as the server first shows it, unless the keyboard has moved since
// this call (the window manager gave it already, or the user went elsewhere). A window manager that
// never learnt that the program moved the keyboard (into one of its own override-redirect windows,
// or back out of one) stamps its own request with the time of the last event it read, older than
// the program's move, so the server ignores it; and as it holds that the window has the keyboard,
// it does not ask again when the program asks it to activate the window (i3).
void activateShownWindow(QWindow* window);

// While one lives, a window that goes leaves the keyboard where it is rather than handing it back
// to the window it came from: for windows that go because the user pressed another program's
// window. The window manager gives that window the keyboard, stamped with the press's time, and a
// request of ours made after the press would win over it.
class KeyboardStaysPut {
 public:
  KeyboardStaysPut();
  ~KeyboardStaysPut();
  KeyboardStaysPut(const KeyboardStaysPut&) = delete;
  KeyboardStaysPut& operator=(const KeyboardStaysPut&) = delete;
};

// Keeps the keyboard of one window. Once the window is shown (and mapped), it takes the keyboard;
// a press of any mouse button anywhere in it, on any of its widgets, takes it when the window
// lacks it, as a window manager does for the windows it manages. When the window is hidden while
// it holds the keyboard, the keyboard goes back to the program's window it was taken from, if that
// one is still shown, before this one is unmapped, so the server never drops it to the root. A
// window the user left for another window leaves the keyboard where the user put it.
class KeyboardKeeper final : public QObject {
  Q_OBJECT

 public:
  // The keeper of `window`, made on first use; it lives as long as the window. Made while the
  // window is hidden or being shown, it sees that show.
  static KeyboardKeeper& of(QWindow* window);
  ~KeyboardKeeper() override;

  // Whether showing the window takes the keyboard (on by default).
  void setTakesOnShow(bool takes) { m_takesOnShow = takes; }
  // Whether a press in the window takes the keyboard (on by default).
  void setTakesOnPress(bool takes) { m_takesOnPress = takes; }

  // Gives the keyboard back now, when the window (or one opened over it) holds it: to another of
  // the program's windows that has taken over from this one (activated, as far as the program has
  // heard); else to the window that had it when this one was shown, the program's or another
  // program's, if that one is still on screen; else to the window the window manager names active;
  // else to the root, where the server drops it when the window goes and a window manager picks a
  // window for it. For a window that stays on screen a while after it stops taking keys (a panel
  // sliding out). The server has moved the focus when this returns, so a key that another
  // connection lets go afterwards (a global shortcut's press holds the keyboard still) reaches the
  // new window.
  void returnKeyboard();
  // After a press of a window this one does not hold (another program's, or a managed one of this
  // program's) at `position` (in global coordinates), made at the server's `pressTime`: gives the
  // keyboard back, as `returnKeyboard` does, when the press lies on the window that had it when
  // this one was shown, or on the one the window manager names active, and this one (or one opened
  // over it) still holds it. A window manager gives a pressed window the keyboard only when it
  // holds that the window lacks it, and in its view that window never lost it to a window it does
  // not manage (i3, xfwm4): nobody else moves it until this one goes. A press on any other window
  // leaves the keyboard to the window manager (`KeyboardStaysPut`).
  void returnKeyboardAfterPressAt(const QPoint& position, std::uint32_t pressTime);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit KeyboardKeeper(QWindow* window);
  void visibilityChanged(bool visible);
  // Asks the server which window has the keyboard as this one is shown.
  void askLender();
  // Reads the answer to a question `askLender` left open.
  void settleLender();

  QWindow* m_window;
  // The X window that had the keyboard when this one was shown, none when it was this one or one
  // opened over it, with how the server moves the focus when that window goes; Qt's focus window
  // in its place off X11.
  std::uint32_t m_lender = 0;
  std::uint8_t m_lenderRevertTo = 0;
  QPointer<QWindow> m_lenderOffX11;
  // The sequence number of the question of `askLender` while its answer is unread.
  std::optional<unsigned int> m_lenderQuery;
  bool m_takesOnShow = true;
  bool m_takesOnPress = true;
  // Whether the take that follows a show is still to run; giving the keyboard away cancels it.
  bool m_takePending = false;
};

}  // namespace tessra::platform
