#include "platform/ui/held_keys.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace tessra::platform {
namespace {

// Long enough for a window manager on a loaded machine; a user whose window manager never
// activates the window gets the keyboard back after it.
constexpr int kDeadline = 3000;  // milliseconds

bool hasKeyboard(const QWidget& target) {
  const QWindow* window = target.window()->windowHandle();
  if (window == nullptr || QGuiApplication::focusWindow() != window) return false;
  return target.isWindow() || target.hasFocus();
}

// What a key event says, to be typed again as a new event: a copy would keep the mark of an event
// that came from the system, which Qt no longer matches with shortcuts.
struct Key {
  explicit Key(const QKeyEvent& event)
      : type(event.type() == QEvent::KeyRelease ? QEvent::KeyRelease : QEvent::KeyPress),
        key(event.key()),
        modifiers(event.modifiers()),
        scanCode(event.nativeScanCode()),
        virtualKey(event.nativeVirtualKey()),
        nativeModifiers(event.nativeModifiers()),
        text(event.text()),
        autoRepeat(event.isAutoRepeat()),
        count(event.count()),
        timestamp(event.timestamp()) {}

  void typeAt(QWindow* window) const {
    QKeyEvent event(type, key, modifiers, scanCode, virtualKey, nativeModifiers, text, autoRepeat,
                    count);
    event.setTimestamp(timestamp);
    QCoreApplication::sendEvent(window, &event);
  }

  QEvent::Type type;
  int key;
  Qt::KeyboardModifiers modifiers;
  quint32 scanCode;
  quint32 virtualKey;
  quint32 nativeModifiers;
  QString text;
  bool autoRepeat;
  quint16 count;
  quint64 timestamp;
};

// Holds for one target, living on it so that it goes with it at the latest.
class HoldFor final : public QObject {
 public:
  explicit HoldFor(QWidget* target) : QObject(target), m_target(target) {
    target->installEventFilter(this);
    // A window has the keyboard once Qt has taken in its activation, widgets and all; a widget
    // once it has the focus.
    if (target->isWindow()) {
      connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &HoldFor::giveWhenReady);
    } else {
      connect(qApp, &QApplication::focusChanged, this, &HoldFor::giveWhenReady);
    }
    QTimer::singleShot(kDeadline, this, &HoldFor::drop);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Hide) drop();
    return false;
  }

 private:
  void giveWhenReady() {
    if (!m_held || !m_target || !hasKeyboard(*m_target)) return;
    QWidget& target = *m_target;
    std::optional<HeldKeys> held = std::exchange(m_held, std::nullopt);
    deleteLater();
    // Nothing of this hold is used from here on: a key given may close the target.
    held->giveTo(target);
  }

  // Lets the keys go at once: the next are typed for whatever has the keyboard now.
  void drop() {
    m_held.reset();
    deleteLater();
  }

  QPointer<QWidget> m_target;
  std::optional<HeldKeys> m_held{std::in_place};
};

}  // namespace

// Installed on the application, it takes every key before the windows and widgets see it.
class HeldKeys::Filter final : public QObject {
 public:
  Filter() { QCoreApplication::instance()->installEventFilter(this); }

  void giveTo(const QWidget& target) {
    QCoreApplication::instance()->removeEventFilter(this);
    const QPointer<const QWidget> alive(&target);
    for (const auto& held : std::exchange(m_held, {})) {
      if (!alive || !alive->isVisible()) break;
      QWindow* window = alive->window()->windowHandle();
      if (window == nullptr) break;
      if (const Key* key = std::get_if<Key>(&held)) {
        key->typeAt(window);
      } else if (QObject* focus = window->focusObject()) {
        QCoreApplication::sendEvent(focus, std::get<std::unique_ptr<QEvent>>(held).get());
      }
    }
  }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    // An open menu or other popup has the keyboard whatever else does, the global shortcut's
    // keys among them: what is typed there is its own.
    if (QApplication::activePopupWidget() != nullptr) return false;
    switch (event->type()) {
      case QEvent::ShortcutOverride:
        // A key is offered to the focused widget before a shortcut is looked for, and reaches no
        // window when a shortcut takes it: the shortcut waits, as that key.
        m_offered.emplace(*static_cast<const QKeyEvent*>(event));
        return false;
      case QEvent::Shortcut:
        if (!m_offered) return false;
        m_held.emplace_back(*std::exchange(m_offered, std::nullopt));
        return true;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        if (!receiver->isWindowType()) return false;
        m_offered.reset();
        m_held.emplace_back(Key(*static_cast<const QKeyEvent*>(event)));
        return true;
      case QEvent::InputMethod:
        // What an input method made of keys (a dead key's accent).
        m_held.emplace_back(std::unique_ptr<QEvent>(event->clone()));
        return true;
      default:
        return false;
    }
  }

 private:
  std::vector<std::variant<Key, std::unique_ptr<QEvent>>> m_held;
  // The key offered to the focused widget last, until it reaches a window or a shortcut.
  std::optional<Key> m_offered;
};

HeldKeys::HeldKeys() : m_filter(std::make_unique<Filter>()) {}

HeldKeys::~HeldKeys() = default;
HeldKeys::HeldKeys(HeldKeys&&) noexcept = default;
HeldKeys& HeldKeys::operator=(HeldKeys&&) noexcept = default;

void HeldKeys::giveTo(const QWidget& target) {
  if (const std::unique_ptr<Filter> filter = std::move(m_filter)) filter->giveTo(target);
}

void holdKeysFor(QWidget* target) {
  if (target == nullptr || QCoreApplication::instance() == nullptr || hasKeyboard(*target)) return;
  new HoldFor(target);
}

}  // namespace tessra::platform
