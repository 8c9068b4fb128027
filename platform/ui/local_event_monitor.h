// Watches the program's own input events as they reach its windows, and keeps or swallows each.
//
//   auto monitor = std::make_unique<LocalEventMonitor>(
//       QList<QEvent::Type>{QEvent::KeyPress},
//       [](QWindow* window, QEvent* event) { return EventDisposition::keep; });
//   monitor->start();
//   monitor.reset();  // stops watching; allowed inside the callback itself
//
// Every input event of the program is delivered first to its window (a QWindow) and only then to
// the widget that handles it, so the monitor sees each event once, with the window it arrived
// at, before any widget does. Swallowing it means no widget sees it. Monitors are filters on
// qApp: the one started last is asked first.
//
// Releasing the monitor stops it; when that happens inside its own callback, the event being
// handled is finished with the answer the callback returns, and nothing of the monitor is used
// after that. GUI thread only.
#pragma once

#include <QEvent>
#include <QList>
#include <QPointer>

#include <functional>

class QWindow;

namespace tessra::platform {

enum class EventDisposition { keep, swallow };

class LocalEventMonitor {
 public:
  using Callback = std::function<EventDisposition(QWindow* window, QEvent* event)>;

  // Stores both; nothing is watched until `start()`.
  LocalEventMonitor(QList<QEvent::Type> events, Callback callback);
  ~LocalEventMonitor();
  LocalEventMonitor(const LocalEventMonitor&) = delete;
  LocalEventMonitor& operator=(const LocalEventMonitor&) = delete;

  // Starts watching (again after `stop()`); returns the monitor so that creation and start read
  // as one expression. Starting a running monitor changes nothing.
  LocalEventMonitor& start();
  void stop();
  bool isRunning() const;

  const QList<QEvent::Type>& events() const { return m_events; }

 private:
  class Filter;
  QList<QEvent::Type> m_events;
  Callback m_callback;
  QPointer<Filter> m_filter;
};

}  // namespace tessra::platform
