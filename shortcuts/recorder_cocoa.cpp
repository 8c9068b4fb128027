#include "shortcuts/recorder_cocoa.h"

#include <xcb/xcb.h>
#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTimer>
#include <QToolButton>
#include <optional>
#include <utility>

#include "shortcuts/recorder_texts.h"

namespace tessra::shortcuts {

namespace {

constexpr Qt::KeyboardModifiers kShortcutModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;

bool isFunctionKey(int key) { return key >= Qt::Key_F1 && key <= Qt::Key_F35; }

// The program's style, whose text caret has no width in a field that records: the user sees no
// caret in a field nothing can be typed into. One for every field, for the program's life.
class CaretlessWhileRecording final : public QProxyStyle {
 public:
  CaretlessWhileRecording() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
    setParent(qApp);
  }

  static CaretlessWhileRecording* shared() {
    static QPointer<CaretlessWhileRecording> style = new CaretlessWhileRecording;
    return style;
  }

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TextCursorWidth) {
      const QObject* asking = widget ? widget : (option ? option->styleObject : nullptr);
      if (const auto* field = qobject_cast<const RecorderCocoa*>(asking);
          field && field->isRecording()) {
        return 0;
      }
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

  // The clear button's icon is the application's, whose style may draw its own (this style stands
  // on a base style of its own): looked up once, as a settings page makes a new field at every
  // visit.
  QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                     const QWidget* widget) const override {
    if (icon != SP_LineEditClearButton) return QProxyStyle::standardIcon(icon, option, widget);
    if (!m_clearIcon) m_clearIcon = QApplication::style()->standardIcon(icon, option, widget);
    return *m_clearIcon;
  }

 private:
  mutable std::optional<QIcon> m_clearIcon;
};

// A modifier or lock key going down on its own starts a combination; it is none by itself.
bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      return true;
    default:
      return false;
  }
}

}  // namespace

RecorderCocoa::RecorderCocoa(const Name& name, QWidget* parent)
    : QLineEdit(parent), m_shortcutName(name) {
  setMinimumWidth(minimumWidth);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setPlaceholderText(recorderText("record_shortcut"));
  setAlignment(Qt::AlignCenter);
  // The style first: the clear button takes its icon from it.
  if (CaretlessWhileRecording* style = CaretlessWhileRecording::shared()) setStyle(style);
  setClearButtonEnabled(true);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  // The field is as wide as what it shows.
  connect(this, &QLineEdit::textChanged, this, &QWidget::updateGeometry);
  setStringValue();
  // The clear button is the only edit the field allows.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (text.isEmpty()) clearShortcut();
  });
  m_shortcutsNameChangeObserver = platform::NotificationCenter::defaultCenter().addObserver(
      GlobalShortcuts::kShortcutByNameDidChange,
      [self = QPointer<RecorderCocoa>(this)](const platform::Notification& notification) {
        const auto* changed = std::any_cast<Name>(&notification.object);
        if (self && changed && *changed == self->m_shortcutName) self->setStringValue();
      });
}

RecorderCocoa::~RecorderCocoa() = default;

void RecorderCocoa::setShortcutName(const Name& name) {
  if (name == m_shortcutName) return;
  m_shortcutName = name;
  setStringValue();
}

QSize RecorderCocoa::sizeHint() const {
  // Wide enough for its whole text: a held shortcut reads "Alt+Space (in use by another
  // program)". The line edit's own hint is room for 17 "x" besides its frame, margins and clear
  // button; the text takes their place, and the caret its width.
  const QSize hint = QLineEdit::sizeHint();
  const QFontMetrics metrics = fontMetrics();
  int textWidth = metrics.horizontalAdvance(text());
  for (const char* placeholder : {"record_shortcut", "press_shortcut"})
    textWidth = std::max(textWidth, metrics.horizontalAdvance(recorderText(placeholder)));
  const int caret = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this) + 1;
  const int width = hint.width() - 17 * metrics.horizontalAdvance(QLatin1Char('x')) + textWidth;
  return {std::max(minimumWidth, width + caret), hint.height()};
}

void RecorderCocoa::setStringValue() {
  const auto shortcut = GlobalShortcuts::getShortcut(m_shortcutName);
  if (!shortcut) {
    setText({});
    setToolTip({});
    return;
  }
  const QString description = QString::fromStdString(shortcut->description());
  // A shortcut another program holds is stored but does nothing: never shown as set.
  const bool active = GlobalShortcuts::isRegistered(*shortcut) || GlobalShortcuts::isPaused();
  setText(active ? description : recorderText("shortcut_not_active").arg(description));
  setToolTip(active ? QString() : recorderText("keyboard_shortcut_used_by_system"));
}

void RecorderCocoa::preventBecomingKey() {
  m_canBecomeKey = false;
  QTimer::singleShot(0, this, [this] { m_canBecomeKey = true; });
}

bool RecorderCocoa::event(QEvent* event) {
  // The turn in which the window opens or comes back must not start recording.
  if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
    preventBecomingKey();
  }
  return QLineEdit::event(event);
}

void RecorderCocoa::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // Back from an alert, the window's activation hands the focus back: recording goes on.
  if (std::exchange(m_resumeRecording, false)) {
    startRecording();
    return;
  }
  if (!m_canBecomeKey || event->reason() == Qt::ActiveWindowFocusReason) return;
  startRecording();
}

void RecorderCocoa::focusOutEvent(QFocusEvent* event) {
  endRecording();
  QLineEdit::focusOutEvent(event);
}

void RecorderCocoa::hideEvent(QHideEvent* event) {
  endRecording();
  QLineEdit::hideEvent(event);
}

void RecorderCocoa::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  // A click into the field that has the focus already, without recording.
  if (hasFocus() && !isRecording()) startRecording();
}

void RecorderCocoa::keyPressEvent(QKeyEvent* event) {
  // Nothing is typed into the field: it only records.
  event->ignore();
}

void RecorderCocoa::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  // A centred field with the keyboard draws no placeholder, to keep it clear of the caret. While
  // it records there is no caret, and the placeholder says what to do.
  if (!isRecording() || !text().isEmpty() || placeholderText().isEmpty()) return;
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect area = style()
                         ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                         .marginsRemoved(textMargins());
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(area, Qt::AlignCenter,
                   fontMetrics().elidedText(placeholderText(), Qt::ElideRight, area.width()));
}

void RecorderCocoa::blur() {
  endRecording();
  clearFocus();
}

void RecorderCocoa::focus() {
  if (!window()->isActiveWindow()) {
    m_resumeRecording = true;
    window()->activateWindow();
  }
  setFocus(Qt::OtherFocusReason);
  if (hasFocus() && !isRecording()) startRecording();
  if (isRecording()) m_resumeRecording = false;
}

void RecorderCocoa::startRecording() {
  if (isRecording()) return;
  setPlaceholderText(recorderText("press_shortcut"));
  // No caret from here on (see CaretlessWhileRecording); the clear button still works.
  update();
  // Other programs' grabs would keep their combinations from the field: an active grab of the
  // keyboard comes before them.
  grabKeyboard();
  // Paused before the monitor exists, so no global shortcut fires from the first press on.
  m_pause.emplace();
  m_eventMonitor = std::make_unique<platform::LocalEventMonitor>(
      QList<QEvent::Type>{QEvent::KeyPress, QEvent::ShortcutOverride, QEvent::MouseButtonRelease},
      [self = QPointer<RecorderCocoa>(this)](QWindow*, QEvent* event) {
        if (!self) return platform::EventDisposition::swallow;
        return self->handleRecordingEvent(event);
      });
  m_eventMonitor->start();
  setStringValue();
}

void RecorderCocoa::endRecording() {
  if (!isRecording()) return;
  m_eventMonitor.reset();
  releaseKeyboard();
  // At once, before the global shortcuts are grabbed again: a key pressed next must find the
  // keyboard free.
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    xcb_flush(x11->connection());
  }
  setPlaceholderText(recorderText("record_shortcut"));
  update();
  m_pause.reset();
  setStringValue();
}

void RecorderCocoa::clearShortcut() {
  GlobalShortcuts::setShortcut(std::nullopt, m_shortcutName);
  emit shortcutChanged(std::nullopt);
  // The placeholder shows and recording goes on.
  focus();
}

void RecorderCocoa::saveShortcut(const Shortcut& shortcut) {
  GlobalShortcuts::userDefaultsSet(m_shortcutName, shortcut);
  emit shortcutChanged(shortcut);
}

bool RecorderCocoa::isInsideClearButton(const QPoint& globalPosition) const {
  for (const QToolButton* button : findChildren<QToolButton*>()) {
    if (button->isVisible() && button->rect().contains(button->mapFromGlobal(globalPosition))) {
      return true;
    }
  }
  return false;
}

platform::EventDisposition RecorderCocoa::handleRecordingEvent(QEvent* event) {
  using platform::EventDisposition;
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();
    if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) {
      return EventDisposition::swallow;
    }
    if (!rect().adjusted(-3, -3, 3, 3).contains(mapFromGlobal(global))) {
      blur();
      return EventDisposition::keep;
    }
    // The clear button's own click goes through; any other click inside only keeps recording.
    return isInsideClearButton(global) ? EventDisposition::keep : EventDisposition::swallow;
  }
  auto* key = static_cast<QKeyEvent*>(event);
  if (event->type() == QEvent::ShortcutOverride) {
    // Claimed as a key press, so no window shortcut takes it from the recorder.
    key->accept();
    return EventDisposition::swallow;
  }
  if (isModifierKey(key->key())) return EventDisposition::swallow;
  const Qt::KeyboardModifiers modifiers = key->modifiers() & kShortcutModifiers;
  const bool noModifiers = modifiers == Qt::NoModifier;
  if (noModifiers && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
    // Focus moves on as Tab would move it.
    endRecording();
    focusNextPrevChild(key->key() == Qt::Key_Tab);
    return EventDisposition::swallow;
  }
  if (noModifiers && key->key() == Qt::Key_Escape) {
    blur();
    return EventDisposition::swallow;
  }
  if (noModifiers && (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete)) {
    setText({});
    clearShortcut();
    return EventDisposition::swallow;
  }
  if ((modifiers & ~Qt::ShiftModifier) == Qt::NoModifier && !isFunctionKey(key->key())) {
    QApplication::beep();
    return EventDisposition::swallow;
  }
  const auto shortcut = Shortcut::fromEvent(*key);
  if (!shortcut) {
    QApplication::beep();
    return EventDisposition::swallow;
  }
  if (const QAction* item = shortcut->takenByMainMenu()) {
    blur();
    showAlert(recorderText("keyboard_shortcut_used_by_menu_item")
                  .arg(QString(item->text()).remove(QLatin1Char('&'))),
              {}, {});
    focus();
    return EventDisposition::swallow;
  }
  if (shortcut->isTakenBySystem()) {
    blur();
    const int answer = showAlert(recorderText("keyboard_shortcut_used_by_system"),
                                 recorderText("keyboard_shortcuts_can_be_changed"),
                                 {recorderText("ok"), recorderText("force_use_shortcut")});
    focus();
    if (answer != 1001) return EventDisposition::swallow;
  }
  saveShortcut(*shortcut);
  blur();
  return EventDisposition::swallow;
}

int RecorderCocoa::showAlert(const QString& title, const QString& message,
                             const QStringList& buttons) {
  QMessageBox alert(window());
  alert.setObjectName("shortcutRecorderAlert");
  alert.setIcon(QMessageBox::NoIcon);
  alert.setWindowModality(Qt::WindowModal);
  alert.setText(title);
  if (!message.isEmpty()) alert.setInformativeText(message);
  QList<QAbstractButton*> added;
  for (const QString& title : buttons)
    added.push_back(alert.addButton(title, QMessageBox::AcceptRole));
  if (added.isEmpty()) added.push_back(alert.addButton(QMessageBox::Ok));
  alert.exec();
  const qsizetype index = added.indexOf(alert.clickedButton());
  return 1000 + static_cast<int>(std::max<qsizetype>(index, 0));
}

}  // namespace tessra::shortcuts
