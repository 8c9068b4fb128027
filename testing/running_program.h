// The built program as a user starts and uses it, for the tests of the whole program: a child
// process on the test's display with folders of its own, driven with xdotool as a person would
// (clicks and keys, never by activating windows from code), and checked through its windows, its
// exit status and its files.
//
//   testing::TempDir home;
//   testing::RunningProgram tessra(TESSRA_BINARY, home.path());
//   tessra.setEnvironment("TESSRA_AI_BASE_URL", server.baseUrl());
//   tessra.start();
//   const QString panel = tessra.waitForWindow("Tessra");
//   testing::xdotool({"type", "Hello"});
//   EXPECT_EQ(tessra.quitWith(SIGTERM), 0);
//
// Its folders are `home`/config, `home`/data and `home`/cache (XDG); the program's own stay
// below them ("config/TessraAI/defaults.json", "data/TessraAI/conversations.json"). Unless the
// test writes defaults first, the onboarding counts as seen.
//
// A program that dies by a signal that dumps core (SIGSEGV, SIGABRT, ...) leaves the stack of
// each of its threads in the test's output, read with gdb from the core the kernel wrote into
// the folder it ran in (`coreFolder`), or one line saying why no core could be read. Cores are
// removed once the program has ended.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tessra::testing {

// Runs xdotool with the arguments on this process's display; its trimmed output ("" when it
// failed).
QString xdotool(const QStringList& arguments);
// Keys pressed and text typed as the user does, into the window that has the keyboard; `keys`
// as xdotool names them ("ctrl+n", "Return", "shift+Tab").
void pressKeys(const QString& keys);
void typeText(const QString& text);
// The left button at a point of the screen, as the user clicks.
void clickAt(int x, int y, int button = 1);
// The X window that has the keyboard ("" for none or the root).
QString focusedWindow();
// A window's frame on the screen.
QRect windowFrame(const QString& window);
// The mapped windows of all clients whose title is exactly `title`, lowest first in stacking
// order (a dialog's window carries no process id xdotool could match).
QStringList windowsTitled(const QString& title);
// The X window that owns a selection ("" for none): "XdndSelection" is owned from the moment a
// drag with the pointer has begun.
QString selectionOwner(const QString& selection);
// Whether the window's _NET_WM_WINDOW_TYPE holds `type` ("_NET_WM_WINDOW_TYPE_DIALOG").
bool hasWindowType(const QString& window, const char* type);
// The window's title (its _NET_WM_NAME, else its WM_NAME).
QString windowTitle(const QString& window);
// The window `window` stands for as a dialog or a menu (WM_TRANSIENT_FOR), "" for none.
QString transientFor(const QString& window);
// The top-level window (a child of the root) under the pointer, "" over the bare desktop.
QString topLevelUnderPointer();
// Takes a selection from whoever owns it, as when its owner quits: nobody owns it afterwards.
void clearSelection(const QString& selection);
// The X windows of the screen, bottom to top (the root's children: managed windows appear as
// their window manager's frames).
QStringList stackingOrder();
// Those of them that are mapped now: what a new menu or window of any program adds.
QStringList mappedTopLevels();
// The top-level X window (a child of the root) that holds `window`.
QString topLevelOf(const QString& window);
// The popups of the test desktop's notification server on screen (TestDesktop's
// `startNotificationServer`).
QStringList notificationPopups();
// Of `windows`, those that `window` covers: under it in stacking order and overlapping it.
QStringList coveredBy(const QString& window, const QStringList& windows);
// What the focused widget holds, as a user copies it: Ctrl+A, Ctrl+C, and the clipboard of this
// process's display ("" when nothing arrived within `timeout`).
QString copyAll(std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A terminal the user works in, whose shell writes every key it reads to a file at once: what
// reaches the window the user goes back to, in the order it came.
//
//   testing::RecordingTerminal terminal(home.path() / "terminal-read");
//   ASSERT_TRUE(terminal.clickInto());  // the user clicks into it, as into their work
//   EXPECT_EQ(terminal.read(), "ok\r");
class RecordingTerminal {
 public:
  explicit RecordingTerminal(std::filesystem::path record);
  // Ends the terminal.
  ~RecordingTerminal();
  RecordingTerminal(const RecordingTerminal&) = delete;
  RecordingTerminal& operator=(const RecordingTerminal&) = delete;

  // Its window, once it shows ("" when it did not within 20 s).
  QString window();
  // A click into it, left of its middle; true once it has the keyboard.
  [[nodiscard]] bool clickInto();
  // What it read so far.
  std::string read() const;

 private:
  std::filesystem::path m_record;
  QProcess m_process;
  QString m_window;
};

class RunningProgram {
 public:
  RunningProgram(QString binary, std::filesystem::path home);
  // Ends a program that still runs with SIGKILL.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  const std::filesystem::path& home() const { return m_home; }
  std::filesystem::path dataFolder() const { return m_home / "data" / "TessraAI"; }
  std::filesystem::path configFolder() const { return m_home / "config" / "TessraAI"; }
  std::filesystem::path cacheFolder() const { return m_home / "cache" / "TessraAI"; }
  // The folder the program runs in, where the kernel writes the core of a crash (the usual
  // core_pattern is a name without a folder).
  std::filesystem::path coreFolder() const { return m_home / "cores"; }

  // For the next start: sets (or with nullopt removes) an environment variable.
  void setEnvironment(const QString& name, const std::optional<QString>& value);
  void setEnvironment(const QString& name, const std::string& value) {
    setEnvironment(name, std::optional<QString>(QString::fromStdString(value)));
  }

  // Starts the program; fails the test when it cannot.
  void start(const QStringList& arguments = {});
  bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
  qint64 pid() const { return m_pid; }
  QProcess& process() { return m_process; }

  // The program's mapped windows whose title is exactly `title`.
  QStringList windows(const QString& title) const;
  // All the program's mapped windows, pop-up menus included (whose titles xdotool cannot match).
  QStringList windows() const;
  // Waits for such a window; "" when none came within the time. Only a net for a window that
  // never comes: a start with the browser's processes takes half a minute on a loaded machine.
  QString waitForWindow(const QString& title,
                        std::chrono::milliseconds timeout = std::chrono::seconds(90)) const;
  // Whether one of the program's windows has the keyboard.
  bool hasKeyboard() const;
  // The program's icon in the desktop's tray: its window held by the tray host's panel (a
  // dock); "" while it shows none, and always on a tray that hosts items over D-Bus, where the
  // icon has no window of its own.
  QString trayIcon() const;
  // Where the program's icon stands on screen, as the user sees it; empty while the tray shows
  // none, or while it is still making room for it. On a tray that hosts items over D-Bus the tray
  // draws the item itself once the program has registered it: the icon is then what the tray's bar
  // shows at its right end (the test desktop's status tray holds nothing else).
  QRect trayIconFrame() const;
  // The floating panel while it is shown: the window titled "Tessra" that is not the tray icon;
  // "" for none.
  QString panel() const;
  // What the program wrote to its standard error so far, its log (the test's output shows it
  // too). Grows while the test waits (it runs the event loop).
  const QString& log() const { return m_log; }

  // Sends the signal and waits for the end; the exit code, or -1 after a crash.
  int quitWith(int signalNumber);
  // Waits for the program to end by itself; the exit code, -1 after a crash or when it still runs.
  int waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(15));
  // Whether the last end was a crash, and by which signal (0 for none).
  int crashSignal() const { return m_crashSignal; }
  // What the last end by a signal that dumps core printed: the program's stacks, or why no core
  // could be read; "" after any other end.
  const QString& crashReport() const { return m_crashReport; }

 private:
  void reportCrash(int signalNumber);
  void removeCores();

  QString m_binary;
  std::filesystem::path m_home;
  QProcessEnvironment m_environment;
  QProcess m_process;
  qint64 m_pid = 0;
  int m_crashSignal = 0;
  QString m_log;
  QString m_crashReport;
};

}  // namespace tessra::testing
