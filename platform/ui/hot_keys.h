// System-wide hot keys on X11: a key combination grabbed on the root window, so that its presses
// reach this program whichever program has the keyboard focus.
//
//   auto& hotKeys = HotKeys::shared();
//   QObject::connect(&hotKeys, &HotKeys::pressed, [](const KeyCombination& c) { ... });
//   if (auto grabbed = hotKeys.grab({"SPCE", KeyCombination::alt}); !grabbed) {
//     // grabbed.error() == GrabFailure::taken: another program holds Alt+Space
//   }
//
// The service keeps its own X connection, read on a thread of its own. Each combination is
// grabbed with the lock variants (none, Caps Lock, Num Lock, both), so a lock key never hides it.
// Alt, Super and Num Lock are the modifiers that the server's modifier map puts their keysyms on
// (Alt_L, Super_L, Num_Lock...), wherever the layout has their keys: Alt is on the Windows key of a
// layout that swaps the two. Auto-repeat is made detectable, so a held combination gives one
// `pressed` and one `released`. A new keymap or modifier map (another layout chosen) re-grabs
// every combination by its key name and those modifiers; one that can no longer be grabbed is
// given up with `grabLost`. Keys are named by their XKB names ("AC01", "SPCE", "FK05"), which stay
// with the physical key across layouts.
//
// A press holds the whole keyboard still at the server until the handlers of its `pressed` have
// returned, so a handler can hold the keys typed right after the combination for a window it is
// about to show (`holdKeyboardFor`): people type straight after a shortcut that opens a prompt,
// long before its window can take the keyboard. Every program's keyboard waits on that, so it
// waits on a busy or hung GUI thread no longer than `kAnswerLimit`: the reader thread lets it go
// on, and it is the reader that keeps the keys of a hold, hands them to the window once the
// program has read that the window has the focus, and drops them after `kHoldLimit`, whatever the
// GUI thread is doing meanwhile. The toolkit reads the handed keys as typed ones, through the input
// method of the object it has focused (dead keys, Compose), so they wait for the program's focus,
// not merely the server's, and go one press at a time, each once the program has read the one
// before (for `kAnswerLimit` at most): the toolkit passes on an accent the input method finished
// before the plain keys read along with it.
//
// Threads. The interface is GUI thread only, and the signals are emitted there. The GUI thread
// owns the grabs and the layout (`m_grabs`, `m_windowGrabs`, `m_layout`, the masks) and sends its
// grabs and the windows' keys it hands on on the shared connection (xcb serialises the requests of
// several threads); what the reader matches presses with is a copy of them, `m_matching`, which
// the GUI thread publishes under `m_mutex`.
// The reader owns the keys down, the press awaiting its answer and the hold; the GUI thread
// reaches them only through the commands it posts to `m_commands`, under `m_mutex`, waking the
// reader through `m_wake`. No lock is held while a signal is emitted or the server is waited on.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <expected>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/unique_fd.h"
#include "platform/ui/keyboard_layout.h"
#include "platform/ui/x11_connection.h"

class QWindow;

namespace tessra::platform {

struct KeyCombination {
  // The modifier bits, the same on every keyboard layout.
  static constexpr std::uint32_t shift = 1u << 0;
  static constexpr std::uint32_t control = 1u << 1;
  static constexpr std::uint32_t alt = 1u << 2;
  static constexpr std::uint32_t super = 1u << 3;

  std::string keyName;
  std::uint32_t modifiers = 0;

  bool operator==(const KeyCombination&) const = default;
  auto operator<=>(const KeyCombination&) const = default;
};

enum class GrabFailure {
  noDisplay,   // no X server answered
  unknownKey,  // the keymap has no key of that name
  taken,       // another program holds the combination
};

class HotKeys : public QObject, private QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  // The program's service, connected to $DISPLAY on first use.
  static HotKeys& shared();

  // A service on its own connection to `display` (null: $DISPLAY); for tests and benchmarks.
  explicit HotKeys(const char* display = nullptr, QObject* parent = nullptr);
  ~HotKeys() override;

  bool isConnected() const { return m_connected; }

  // Grabs the combination; grabbing one this service holds already succeeds at once.
  std::expected<void, GrabFailure> grab(const KeyCombination& combination);
  // Releases the combination when this service holds it.
  void ungrab(const KeyCombination& combination);
  bool isGrabbed(const KeyCombination& combination) const;

  // True when another program holds the combination: a trial grab, released at once. A
  // combination this service holds is not taken.
  bool isTaken(const KeyCombination& combination);

  // Grabs the combination in `window` only, for a key that may send the keyboard elsewhere
  // (Escape hiding a panel). Pressed while the keyboard is in the window, it holds the keyboard
  // still as a shortcut's press does, goes on to the window as a key event, and the keyboard goes
  // on once the window has been handed that event, that is once the shortcuts and widgets it set
  // off have returned (at most `kAnswerLimit`), to whichever window has the keyboard then: the
  // keys typed right after it never reach the window before the program has read it. No `pressed`
  // is emitted for it. The grab lasts as long as the window.
  std::expected<void, GrabFailure> grabInWindow(QWindow* window, const KeyCombination& combination);

  // Holds the keyboard for `window`, which is about to be shown: every key typed from now on comes
  // to this service and is kept, until the program has read the input focus reaching the window;
  // then the kept keys go to it as key events, one press at a time, in the order typed and before
  // any key it gets directly, and the keyboard is let go once all are handed and the combination's
  // own key is up (until then, keys typed go on to the window the same way). Called from a handler
  // of `pressed`, it holds every key typed after that press. The combination's modifiers, while
  // they stay down from its press, are taken off the kept keys: a letter typed before Alt of
  // Alt+Space is let go types the letter, as the user means it, not Alt+letter (Alt pressed anew is
  // Alt). A window that has not taken the focus within `kHoldLimit` gets nothing. False, and
  // nothing held, when another client holds the keyboard.
  [[nodiscard]] bool holdKeyboardFor(QWindow* window);
  // Lets the held keyboard go and drops the kept keys: the window will not show after all.
  void dropHeldKeys();
  bool isHoldingKeyboard() const { return m_holding.load(); }
  static constexpr std::chrono::milliseconds kHoldLimit{3000};
  // How long the keyboard waits at most for a handler of `pressed` to return: past it, keys typed
  // after the press go where they would have gone without it.
  static constexpr std::chrono::milliseconds kAnswerLimit{500};

  // The keyboard layout the server uses now; null without a display.
  std::shared_ptr<const KeyboardLayout> layout() const { return m_layout; }

 signals:
  void pressed(const tessra::platform::KeyCombination& combination);
  void released(const tessra::platform::KeyCombination& combination);
  // A re-grab after a layout change failed; the combination is no longer held.
  void grabLost(const tessra::platform::KeyCombination& combination);
  // The keymap or the modifier map changed; held combinations are grabbed again already.
  void layoutChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Grab {
    std::uint32_t keycode = 0;
    std::uint16_t modifierMask = 0;
  };
  // A combination grabbed in one window (`grabInWindow`).
  struct WindowGrab {
    xcb_window_t window = XCB_WINDOW_NONE;
    KeyCombination combination;
    Grab grab;
  };
  // A window's key sent on to it, until the window has been handed it.
  struct WindowKeyDelivery {
    std::uint64_t press = 0;
    xcb_window_t window = XCB_WINDOW_NONE;
    std::uint32_t keycode = 0;
  };
  // What the reader matches a press with: the grabs and the modifier bits, as the GUI thread last
  // published them.
  struct Matching {
    std::vector<std::pair<KeyCombination, Grab>> grabs;
    std::uint16_t altMask = 0;
    std::uint16_t superMask = 0;
  };
  // A press whose `pressed` is being delivered on the GUI thread.
  struct Delivery {
    std::uint64_t press = 0;
    std::uint16_t modifierMask = 0;
  };
  struct Command;
  struct Hold;

  // GUI thread.
  bool setUpKeyboard();
  void loadLayout();
  void readModifierMap();
  std::optional<Grab> resolve(const KeyCombination& combination) const;
  std::uint16_t xModifiers(std::uint32_t modifiers) const;
  // The grab's modifiers with none, Caps Lock, Num Lock and both.
  static std::array<std::uint16_t, 4> lockVariants(std::uint16_t numLockMask);
  // On the root window, or on `window`.
  bool grabVariants(const Grab& grab, xcb_window_t window = XCB_WINDOW_NONE);
  void ungrabVariants(const Grab& grab, std::uint16_t numLockMask,
                      xcb_window_t window = XCB_WINDOW_NONE);
  void publishMatching();
  void regrabAll();
  void regrabWindowKeys(std::uint16_t oldNumLockMask);
  void deliverPress(const KeyCombination& combination, Delivery delivery);
  void deliverWindowKey(xcb_key_press_event_t key, std::uint64_t press);
  // Lets the keyboard that the press holds still go on.
  void answer(std::uint64_t press);
  void connectionBroke();
  // Tells the reader when the program has read the focus reaching a window, and a key handed to
  // the window.
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Queues a command for the reader; false when the reader has ended.
  bool post(Command command);
  // Wakes the reader: to run the commands, to end, or to read the events that a reply awaited on
  // the GUI thread left in the connection's queue.
  void wakeReader();
  void stopReader();

  // The reader thread.
  void read();
  bool runCommands();
  void readEvents();
  void handleKey(const xcb_key_press_event_t& key);
  void awaitWindowKey(const xcb_key_press_event_t& key);
  std::optional<std::pair<KeyCombination, Grab>> match(const xcb_key_press_event_t& key);
  // The time until the next limit runs out, in milliseconds; -1 when none runs.
  int keepLimits();
  void letKeyboardGo();
  [[nodiscard]] bool startHold(xcb_window_t window, std::uint16_t shortcutModifiers);
  void dropHold();
  // A key typed while the keyboard is held: kept, handed on or dropped.
  void holdKey(const xcb_key_press_event_t& key);
  void sendToHeldWindow(xcb_key_press_event_t key);
  // Grabs the whole keyboard on this connection; true when the server granted it.
  [[nodiscard]] bool grabKeyboard(std::uint8_t keyboardMode);
  void handOverHeldKeys();
  void endHold();

  // Set up before the reader starts, then read by both threads.
  X11Connection m_x11;
  std::int32_t m_keyboardDevice = -1;
  std::uint8_t m_xkbFirstEvent = 0;
  UniqueFd m_wake;

  // GUI thread.
  bool m_connected = false;
  std::shared_ptr<const KeyboardLayout> m_layout;
  std::uint16_t m_altMask = 0;
  std::uint16_t m_superMask = 0;
  std::uint16_t m_numLockMask = 0;
  std::map<KeyCombination, Grab> m_grabs;
  std::vector<WindowGrab> m_windowGrabs;
  std::optional<Delivery> m_delivering;
  std::optional<WindowKeyDelivery> m_windowKeyDelivery;
  // Whether the program's reading of the focus and of handed keys is followed for the holds.
  bool m_followingProgram = false;
  std::thread m_reader;

  // Guarded by m_mutex.
  mutable std::mutex m_mutex;
  Matching m_matching;
  std::deque<Command> m_commands;
  bool m_stopping = false;
  bool m_readerEnded = false;

  // The reader thread.
  // Keys whose press was delivered and whose release is due, by key code.
  std::map<std::uint32_t, KeyCombination> m_down;
  std::uint64_t m_presses = 0;
  // The press that holds the keyboard still until the GUI thread has answered it.
  struct Awaited {
    std::uint64_t press = 0;
    std::chrono::steady_clock::time_point limit;
  };
  std::optional<Awaited> m_awaited;
  // The press awaited is a window's key: letting the keyboard go ends the grab it took, so that the
  // keys after it go to the window that has the keyboard now.
  bool m_awaitingWindowKey = false;
  std::unique_ptr<Hold> m_hold;
  // Whether m_hold is set; written by the reader, read anywhere.
  std::atomic<bool> m_holding = false;
};

}  // namespace tessra::platform
