#include "platform/ui/held_keys.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

#include "platform/ui/local_event_monitor.h"

namespace tessra::platform {
namespace {

// Long enough for a window manager on a loaded machine; a user whose window manager never
// activates the window gets the keyboard back after it.
constexpr int kActivationDeadline = 3000;  // milliseconds

// Lives on the window it waits for, so it goes with it at the latest.
class KeysDroppedUntilActive final : public QObject {
 public:
  KeysDroppedUntilActive(QWindow* from, QWindow* window) : QObject(window), m_held(from) {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this, window](QWindow* focus) {
      if (focus == window) deleteLater();
    });
    connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
      if (!visible) deleteLater();
    });
    QTimer::singleShot(kActivationDeadline, this, &QObject::deleteLater);
  }

 private:
  HeldKeys m_held;
};

}  // namespace

HeldKeys::HeldKeys(QWindow* window) : m_window(window) {
  if (window == nullptr) return;
  m_monitor = std::make_unique<LocalEventMonitor>(
      QList<QEvent::Type>{QEvent::KeyPress, QEvent::KeyRelease},
      [this](QWindow* to, QEvent* event) {
        if (to != m_window) return EventDisposition::keep;
        m_keys.emplace_back(static_cast<QKeyEvent*>(event)->clone());
        return EventDisposition::swallow;
      });
  m_monitor->start();
}

HeldKeys::~HeldKeys() = default;

void HeldKeys::deliver() {
  m_monitor.reset();
  for (auto& key : std::exchange(m_keys, {}))
    if (m_window) QCoreApplication::sendEvent(m_window, key.get());
}

void dropKeysUntilActive(QWindow* window) {
  QWindow* from = QGuiApplication::focusWindow();
  if (window == nullptr || from == nullptr || from == window) return;
  new KeysDroppedUntilActive(from, window);
}

}  // namespace tessra::platform
