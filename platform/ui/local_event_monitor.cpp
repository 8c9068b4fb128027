#include "platform/ui/local_event_monitor.h"

#include <QCoreApplication>
#include <QWindow>

#include <memory>

namespace tessra::platform {

// The object installed on qApp. It owns a copy of the callback, so that the monitor can be
// released while the callback runs; it deletes itself once detached and no call is under way.
class LocalEventMonitor::Filter final : public QObject {
 public:
  Filter(QList<QEvent::Type> events, Callback callback)
      : m_events(std::move(events)), m_callback(std::make_shared<Callback>(std::move(callback))) {}

  void detach() {
    QCoreApplication::instance()->removeEventFilter(this);
    m_detached = true;
    if (m_depth == 0) delete this;
  }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (m_detached || !m_events.contains(event->type())) return false;
    auto* window = qobject_cast<QWindow*>(receiver);
    if (window == nullptr) return false;
    // The callback may release the monitor (and with it detach this filter): keep what the call
    // needs alive until it returns.
    const std::shared_ptr<Callback> callback = m_callback;
    ++m_depth;
    const EventDisposition disposition = (*callback)(window, event);
    --m_depth;
    if (m_detached && m_depth == 0) deleteLater();
    return disposition == EventDisposition::swallow;
  }

 private:
  const QList<QEvent::Type> m_events;
  const std::shared_ptr<Callback> m_callback;
  int m_depth = 0;
  bool m_detached = false;
};

LocalEventMonitor::LocalEventMonitor(QList<QEvent::Type> events, Callback callback)
    : m_events(std::move(events)), m_callback(std::move(callback)) {}

LocalEventMonitor::~LocalEventMonitor() { stop(); }

LocalEventMonitor& LocalEventMonitor::start() {
  if (m_filter || QCoreApplication::instance() == nullptr) return *this;
  m_filter = new Filter(m_events, m_callback);
  QCoreApplication::instance()->installEventFilter(m_filter);
  return *this;
}

void LocalEventMonitor::stop() {
  if (!m_filter) return;
  Filter* filter = m_filter;
  m_filter = nullptr;
  filter->detach();
}

bool LocalEventMonitor::isRunning() const { return !m_filter.isNull(); }

}  // namespace tessra::platform
