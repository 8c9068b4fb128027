// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit through the event loop, so that the
// program's quit path (aboutToQuit and what hangs on it) runs as it does for the tray's Quit.
// SIGINT and SIGHUP stay ignored when the program was started ignoring them (nohup).
//
//   QuitOnSignals::unblock();     // first thing in main, before any thread is made
//   QuitOnSignals quitOnSignals;  // in main, after the application; restores the old handlers
//
// The signal handler only writes one byte to a pipe; the GUI thread reads it, handles the input
// that came before the signal, and quits. A second signal while quitting is ignored. One instance
// at a time.
#pragma once

#include <QObject>

#include <array>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace tessra::platform {

class QuitOnSignals final : public QObject {
  Q_OBJECT

 public:
  explicit QuitOnSignals(QObject* parent = nullptr);
  ~QuitOnSignals() override;

  // Unblocks the three signals in the calling thread, and so in every thread it makes from then
  // on: a launcher may start the program with them blocked, which it inherits, and a blocked
  // terminate would never end it. Ignoring stays as it was.
  static void unblock();

 signals:
  // The signal number that asked to quit, just before the application is told to quit.
  void quitRequested(int signalNumber);

 private:
  void readSignal();

  std::array<int, 2> m_pipe{-1, -1};
  // The actions the program was started with, for SIGTERM, SIGINT and SIGHUP in that order.
  std::array<struct sigaction, 3> m_inherited{};
  std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace tessra::platform
