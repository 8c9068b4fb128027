// The recorder field with an optional label before it, and watchers that run an action for each
// press and release of a name's shortcut while a widget is shown.
//
//   auto* row = new Recorder(tr("Open Tessra"), openTessraGlobal(), page);
//   auto* row = new Recorder(Recorder::TitleKey{"Settings.General.openTessra"}, name, page);
//   new KeyboardShortcutWatcher(panel, name, [](EventType type) { ... });       // down and up
//   new KeyboardShortcutWatcher(panel, name, EventType::keyUp, [] { ... });     // releases only
//
// A title given by key is looked up in the program's string table, which the program hands over
// at start-up (`setStringTable`); a key the table lacks, or any key before there is a table, shows
// as itself. A title given as text is shown as it is, even when it reads like a key.
//
// A watcher belongs to its widget: it listens from each show to the next hide, and goes with the
// widget. While a recorder records, watchers are not called. GUI thread only.
#pragma once

#include <QObject>
#include <QWidget>
#include <functional>
#include <optional>

#include "platform/foundation/async_stream.h"
#include "shortcuts/global_shortcuts.h"
#include "shortcuts/recorder_cocoa.h"

class QLabel;

namespace tessra::shortcuts {

class Recorder : public QWidget {
  Q_OBJECT

 public:
  // A key of the program's string table ("Settings.General.openTessra").
  struct TitleKey {
    QString key;
  };
  // The text of `key` in the program's string table, in the program's language.
  using StringTable = std::function<QString(const QString& key)>;

  // The table that titles given by key are read from, for recorders made from now on.
  static void setStringTable(StringTable table);

  // Without a label.
  explicit Recorder(const Name& name, QWidget* parent = nullptr);
  // With a text label, shown as given.
  Recorder(const QString& title, const Name& name, QWidget* parent = nullptr);
  // With the label of a key, read from the program's string table.
  Recorder(const TitleKey& title, const Name& name, QWidget* parent = nullptr);
  // With a label widget of the caller's.
  Recorder(QWidget* label, const Name& name, QWidget* parent = nullptr);

  // Its `shortcutChanged` reports what the user records.
  RecorderCocoa* field() const { return m_field; }
  // Null without a label.
  QWidget* label() const { return m_label; }
  bool hasLabel() const { return m_label != nullptr; }
  void setName(const Name& name) { m_field->setShortcutName(name); }

 private:
  RecorderCocoa* m_field;
  QWidget* m_label = nullptr;
};

class KeyboardShortcutWatcher : public QObject {
  Q_OBJECT

 public:
  KeyboardShortcutWatcher(QWidget* owner, const Name& name, std::function<void(EventType)> perform);
  KeyboardShortcutWatcher(QWidget* owner, const Name& name, EventType type,
                          std::function<void()> perform);
  ~KeyboardShortcutWatcher() override;

  bool isWatching() const { return m_stream.has_value(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyboardShortcutWatcher(QWidget* owner, const Name& name, std::optional<EventType> type,
                          std::function<void(EventType)> perform);
  void start();
  void stop();

  Name m_name;
  std::optional<EventType> m_type;
  std::function<void(EventType)> m_perform;
  std::optional<platform::AsyncStream<EventType>> m_stream;
};

}  // namespace tessra::shortcuts
