#include "shortcuts/recorder.h"

#include <QFormLayout>
#include <QLabel>

#include "platform/foundation/queue.h"

namespace tessra::shortcuts {

namespace {

Recorder::StringTable& stringTable() {
  static Recorder::StringTable table;
  return table;
}

}  // namespace

void Recorder::setStringTable(StringTable table) { stringTable() = std::move(table); }

Recorder::Recorder(const Name& name, QWidget* parent)
    : Recorder(static_cast<QWidget*>(nullptr), name, parent) {}

Recorder::Recorder(const QString& title, const Name& name, QWidget* parent)
    : Recorder(new QLabel(title), name, parent) {
  static_cast<QLabel*>(m_label)->setTextFormat(Qt::PlainText);
}

Recorder::Recorder(const TitleKey& title, const Name& name, QWidget* parent)
    : Recorder(stringTable() ? stringTable()(title.key) : title.key, name, parent) {}

Recorder::Recorder(QWidget* label, const Name& name, QWidget* parent)
    : QWidget(parent), m_field(new RecorderCocoa(name)), m_label(label) {
  auto* layout = new QFormLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  if (m_label) {
    layout->addRow(m_label, m_field);
  } else {
    layout->addRow(m_field);
  }
}

KeyboardShortcutWatcher::KeyboardShortcutWatcher(QWidget* owner, const Name& name,
                                                 std::function<void(EventType)> perform)
    : KeyboardShortcutWatcher(owner, name, std::nullopt, std::move(perform)) {}

KeyboardShortcutWatcher::KeyboardShortcutWatcher(QWidget* owner, const Name& name, EventType type,
                                                 std::function<void()> perform)
    : KeyboardShortcutWatcher(owner, name, type,
                              [perform = std::move(perform)](EventType) { perform(); }) {}

KeyboardShortcutWatcher::KeyboardShortcutWatcher(QWidget* owner, const Name& name,
                                                 std::optional<EventType> type,
                                                 std::function<void(EventType)> perform)
    : QObject(owner), m_name(name), m_type(type), m_perform(std::move(perform)) {
  owner->installEventFilter(this);
  if (owner->isVisible()) start();
}

KeyboardShortcutWatcher::~KeyboardShortcutWatcher() = default;

bool KeyboardShortcutWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) start();
  if (event->type() == QEvent::Hide) stop();
  return QObject::eventFilter(watched, event);
}

void KeyboardShortcutWatcher::start() {
  if (isWatching()) return;
  m_stream.emplace(m_type ? GlobalShortcuts::eventStream(*m_type, m_name)
                          : GlobalShortcuts::eventStream(m_name));
  m_stream->forEach(
      platform::mainQueue(), [this](EventType type) { m_perform(type); }, [](ErrorPtr) {});
}

void KeyboardShortcutWatcher::stop() {
  // Cancelling on the main queue's thread: no element is delivered afterwards.
  m_stream.reset();
}

}  // namespace tessra::shortcuts
