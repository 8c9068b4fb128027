// A small real desktop for the tests of what a window manager and a tray change: stacking above
// the panel, the keyboard after a dialog or a click, the tray, exits with a tray icon, the work
// area, the whole program end to end. A bare display hides exactly these faults.
//
// It is an X display of its own (Xvfb, 1920x1080), the openbox window manager and trayer as the
// tray host at the bottom edge, whose strut leaves a work area of 1920x1052. Openbox runs with the
// stock configuration minus its Alt+Space binding, so the program's global shortcut is free; a
// test of the taken shortcut switches to the stock one.
//
// `DESKTOP` tests (tessra_add_test) get one per test process, started before the QApplication,
// which then lives on it: so do the programs and tools (xdotool) the test starts, through DISPLAY.
//
//   TestDesktop& desktop = TestDesktop::current();
//   desktop.useStockKeyBindings();     // openbox takes Alt+Space again
//   desktop.screenshot(dir / "shot.png");
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace tessra::testing {

class TestDesktop {
 public:
  struct Options {
    bool tray = true;
  };

  // Starts the display, the window manager and the tray and waits until each is ready (the
  // tray's selection owned, the work area shrunk by its strut). Throws when one cannot start.
  // Sets DISPLAY for this process and its children.
  explicit TestDesktop(Options options);
  TestDesktop() : TestDesktop(Options{}) {}
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // The desktop of this test process; throws when it has none.
  static TestDesktop& current();

  // ":N", the display's name.
  const std::string& display() const { return m_display; }
  // The height of the tray panel at the bottom edge (0 without a tray).
  static constexpr int kTrayHeight = 28;

  // Restarts openbox with its stock configuration, which binds Alt+Space itself; waits until the
  // new manager runs.
  void useStockKeyBindings();
  // Starts the tray host again after `stopTray`, or stops it.
  void startTray();
  void stopTray();
  bool hasTray() const { return m_tray > 0; }

  // A PNG of the whole screen (ImageMagick's import), for the eyes of whoever reads a failure.
  void screenshot(const std::filesystem::path& file) const;

 private:
  void start(const Options& options);
  void stopAll();
  void startWindowManager(const std::filesystem::path& configuration);
  void stopWindowManager();

  std::string m_display;
  std::filesystem::path m_folder;
  pid_t m_server = 0;
  pid_t m_windowManager = 0;
  pid_t m_tray = 0;
};

}  // namespace tessra::testing
