#include "platform/ui/quit_signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <csignal>

#include "platform/foundation/logger.h"

namespace tessra::platform {
namespace {

constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP};
// How long a quit on a signal lets the input received before it be handled.
constexpr int kPendingInputTime = 200;  // milliseconds
int g_writeEnd = -1;                    // read by the signal handler only

extern "C" void onSignal(int signalNumber) {
  const auto byte = static_cast<unsigned char>(signalNumber);
  // Nothing to do when the pipe is full: a quit is already on its way.
  [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
  for (std::size_t i = 0; i < kSignals.size(); ++i)
    sigaction(kSignals[i], nullptr, &m_inherited[i]);
  if (::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    logError("Cannot watch quit signals: pipe failed");
    return;
  }
  g_writeEnd = m_pipe[1];
  m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &QuitOnSignals::readSignal);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    const int signalNumber = kSignals[i];
    // A hang-up or an interrupt the program was started ignoring (nohup, a job started in the
    // background) is the user's wish that it outlive the terminal; a terminate always ends it.
    if (signalNumber != SIGTERM && m_inherited[i].sa_handler == SIG_IGN) continue;
    sigaction(signalNumber, &action, nullptr);
  }
}

void QuitOnSignals::unblock() {
  sigset_t quit;
  sigemptyset(&quit);
  for (const int signalNumber : kSignals) sigaddset(&quit, signalNumber);
  pthread_sigmask(SIG_UNBLOCK, &quit, nullptr);
}

QuitOnSignals::~QuitOnSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i)
    sigaction(kSignals[i], &m_inherited[i], nullptr);
  m_notifier.reset();
  g_writeEnd = -1;
  for (int fd : m_pipe)
    if (fd >= 0) ::close(fd);
}

void QuitOnSignals::readSignal() {
  unsigned char byte = 0;
  if (::read(m_pipe[0], &byte, 1) != 1) return;
  m_notifier->setEnabled(false);
  logInfo("Quitting on signal {}", static_cast<int>(byte));
  // A signal jumps the queue: what the user did before it (a question sent with Return just
  // before the logout) may still wait behind a busy moment of the GUI thread, and is handled
  // first, as it would be before a Quit from the tray.
  QCoreApplication::processEvents(QEventLoop::AllEvents, kPendingInputTime);
  emit quitRequested(byte);
  // exit() rather than quit(): quitting asks every window to close first, and a window that
  // only hides on close (the panel) would cancel it.
  QCoreApplication::exit(0);
}

}  // namespace tessra::platform
