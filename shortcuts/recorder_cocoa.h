// The field in which the user sets, changes or clears the global shortcut of one name.
//
//   auto* field = new RecorderCocoa(openTessraGlobal());
//   connect(field, &RecorderCocoa::shortcutChanged, page, [](std::optional<Shortcut> s) { ... });
//
// It shows the stored shortcut ("Alt+Space"), or a stored one another program holds marked as
// not active, always whole: the field is as wide as its text (at least `minimumWidth`). Clicking
// into it records: the next usable combination becomes the name's shortcut, after a check against
// the main menus and against the shortcuts other programs hold. Escape keeps the old one, Backspace
// or Delete (or the clear button) clears it, Tab or a click elsewhere ends recording. A plain key,
// or one with Shift alone, is refused with a beep; F1 to F35 may stand alone. While it records,
// every global shortcut is paused, so pressing the current one records it instead of firing it, and
// the field shows no caret: nothing is typed into it.
//
// Opening or re-activating its window never starts recording by itself. GUI thread only.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <memory>
#include <optional>

#include "platform/foundation/notification_center.h"
#include "platform/ui/local_event_monitor.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/name.h"

namespace tessra::shortcuts {

class RecorderCocoa : public QLineEdit {
  Q_OBJECT

 public:
  static constexpr int minimumWidth = 130;

  explicit RecorderCocoa(const Name& name, QWidget* parent = nullptr);
  ~RecorderCocoa() override;

  const Name& shortcutName() const { return m_shortcutName; }
  // Shows another name's shortcut; the same name (by text) changes nothing.
  void setShortcutName(const Name& name);

  bool isRecording() const { return m_eventMonitor != nullptr; }

  QSize sizeHint() const override;

  // Ends recording and gives the focus up; starts recording again.
  void blur();
  void focus();

 signals:
  // The user recorded a new shortcut for the name, or cleared it (nullopt); it is stored by now.
  void shortcutChanged(std::optional<tessra::shortcuts::Shortcut> shortcut);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void setStringValue();
  void startRecording();
  void endRecording();
  void preventBecomingKey();
  void clearShortcut();
  void saveShortcut(const Shortcut& shortcut);
  platform::EventDisposition handleRecordingEvent(QEvent* event);
  bool isInsideClearButton(const QPoint& globalPosition) const;
  // The answer of a window-modal alert: 1000 for the first button, 1001 for the second.
  int showAlert(const QString& title, const QString& message, const QStringList& buttons);

  Name m_shortcutName;
  bool m_canBecomeKey = true;
  // Set while the window comes back after an alert, to record again when it does.
  bool m_resumeRecording = false;
  std::unique_ptr<platform::LocalEventMonitor> m_eventMonitor;
  std::optional<GlobalShortcuts::Pause> m_pause;
  platform::NotificationCenter::ObserverToken m_shortcutsNameChangeObserver;
};

}  // namespace tessra::shortcuts
