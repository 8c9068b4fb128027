// A small real desktop for the tests of what a window manager and a tray change: stacking above
// the panel, the keyboard after a dialog or a click, the tray, exits with a tray icon, the work
// area, the whole program end to end. A bare display hides exactly these faults, and so does a
// single desktop: the desktops people run differ in how their tray hosts items, whether they
// publish a work area and whether a notification server answers. So there are several kinds:
//
//   Openbox  openbox, and trayer at the bottom edge as an XEmbed tray whose strut leaves a work
//            area of 1920x1052. No notification server.
//   Xfce     xfwm4 and xfce4-panel at the bottom edge, whose status tray hosts items over D-Bus
//            (StatusNotifierItem, the menu exported over D-Bus); its strut makes the work area.
//            A notification server (xfce4-notifyd) on request.
//   I3       the tiling manager i3 with i3bar at the bottom edge, whose tray is an XEmbed one; no
//            `_NET_WORKAREA` at all. A notification server (dunst) on request.
//
// Each is an X display of its own (Xvfb, 1920x1080, or several such monitors side by side on a
// wider screen, as RandR monitors) and a D-Bus session bus of its own, which holds the login
// keyring's daemon and whatever the desktop puts there (its status tray's watcher, its
// configuration service), and starts nothing on demand: tests in parallel never meet each
// other's names, nor a daemon that happens to be installed. Every kind runs with its
// stock key bindings minus Alt+Space, so the program's global shortcut is free; a test of the
// taken shortcut asks for the stock ones.
//
// The desktop's programs end with the test process, however it ends: the destructor stops them
// in order, and a process that crashes, is halted by a sanitizer or is killed takes them with it
// (each gets SIGTERM when the thread that started it ends, so the test's main thread starts them).
//
// `DESKTOP` tests (tessra_add_test) get one per test process, started before the QApplication,
// which then lives on it: so do the programs and tools (xdotool) the test starts, through DISPLAY
// and DBUS_SESSION_BUS_ADDRESS. Which kind it is, the variable TESSRA_TEST_DESKTOP says ("openbox",
// the default, "xfce" or "i3"), set by CTest for each desktop a test is registered on; how many
// monitors, TESSRA_TEST_MONITORS (1 when unset).
//
//   TestDesktop& desktop = TestDesktop::current();
//   if (desktop.kind() == TestDesktop::Kind::Xfce) ...
//   desktop.useStockKeyBindings();     // the window manager takes Alt+Space again
//   desktop.startNotificationServer();
//   desktop.screenshot(dir / "shot.png");
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessra::testing {

class TestDesktop {
 public:
  enum class Kind { Openbox, Xfce, I3 };

  struct Options {
    Kind kind = Kind::Openbox;
    // Whether the tray (trayer, the panel, the bar) starts with the desktop.
    bool tray = true;
    // Monitors of kMonitorWidth x kMonitorHeight side by side, the first the primary one.
    int monitors = 1;
  };

  static constexpr int kMonitorWidth = 1920;
  static constexpr int kMonitorHeight = 1080;

  // Starts the display, the bus, the window manager and the tray and waits until each is ready
  // (the bus's names owned, the manager managing windows, the tray's selection or watcher owned,
  // the bar mapped). Throws when one cannot start. Sets DISPLAY and DBUS_SESSION_BUS_ADDRESS for
  // this process and its children.
  explicit TestDesktop(Options options);
  TestDesktop() : TestDesktop(Options{}) {}
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // The desktop of this test process; throws when it has none.
  static TestDesktop& current();
  // The kind that TESSRA_TEST_DESKTOP names (Openbox when it is unset); throws for an unknown one.
  static Kind kindFromEnvironment();
  // That kind, with the monitors TESSRA_TEST_MONITORS asks for.
  static Options optionsFromEnvironment();
  static std::string_view nameOf(Kind kind);

  Kind kind() const { return m_kind; }
  // ":N", the display's name.
  const std::string& display() const { return m_display; }
  // The address of the desktop's own session bus.
  const std::string& busAddress() const { return m_busAddress; }
  // The height of trayer's panel at the bottom edge of the Openbox desktop (0 without a tray).
  static constexpr int kTrayHeight = 28;
  // The height of the bar at the bottom edge that holds the tray (trayer, the panel, i3bar), as
  // it stands on screen; 0 while there is none.
  int barHeight() const { return m_barHeight; }
  // Whether the tray hosts items over D-Bus rather than embedding their windows.
  bool hasDBusTray() const { return m_kind == Kind::Xfce; }

  // Gives the window manager its stock key bindings again, which hold Alt+Space; returns once the
  // manager has taken its keys, and throws at once when Alt+Space is free then.
  void useStockKeyBindings();
  // The window manager gives the keyboard to the window the pointer moves onto, at once: i3's
  // default, a choice of the others.
  void focusFollowsMouse();
  // Starts the tray host again after `stopTray`, or stops it.
  void startTray();
  void stopTray();
  bool hasTray() const { return m_tray > 0; }
  // Ends the X server, as the end of a session or a display server's restart does: every client
  // loses its display, the window manager and the tray with it. The bus and the keyring stay.
  void endDisplay();
  // Starts a fresh X server on the same display, with the window manager and the tray.
  void startDisplay();
  // Starts the desktop's notification server; returns once it owns org.freedesktop.Notifications
  // on the desktop's bus. It runs until the desktop ends.
  void startNotificationServer();

  // A PNG of the whole screen (ImageMagick's import), for the eyes of whoever reads a failure.
  void screenshot(const std::filesystem::path& file) const;

 private:
  void start(const Options& options);
  // Starts the X server on the desktop's display, on a free one the first time.
  void startServer();
  // Splits the screen into `count` monitors side by side.
  void splitIntoMonitors(int count);
  void startBus();
  void startKeyring();
  void startWindowManager();
  void stopAll();
  void startOpenbox(const std::filesystem::path& configuration);
  // Sets a property of an Xfce configuration channel, which its programs hear of at once.
  void setXfceProperty(const char* channel, const std::string& property, const char* type,
                       const char* value);
  // Starts xfwm4, which reads its settings and takes its keys before it manages a window.
  void startXfwm4();
  void waitForWindowManager(const char* name);
  void writeXfceConfiguration() const;
  void writeI3Configuration(bool stockKeyBindings) const;
  void waitForBar();
  pid_t spawn(const std::vector<std::string>& arguments) const;
  std::filesystem::path log() const { return m_folder / "desktop.log"; }

  Kind m_kind = Kind::Openbox;
  Options m_options;
  std::string m_display;
  std::string m_busAddress;
  std::filesystem::path m_folder;
  // What the desktop's own programs get beside this process's environment (their configuration
  // and runtime folders inside `m_folder`).
  std::vector<std::string> m_environment;
  int m_barHeight = 0;
  pid_t m_server = 0;
  pid_t m_bus = 0;
  pid_t m_keyring = 0;
  pid_t m_configuration = 0;
  pid_t m_windowManager = 0;
  pid_t m_tray = 0;
  pid_t m_notifications = 0;
};

}  // namespace tessra::testing
