#include "shortcuts/menu_item_shortcut.h"

#include <QAction>
#include <QMetaObject>
#include <QPointer>

#include "platform/foundation/notification_center.h"
#include "shortcuts/global_shortcuts.h"

namespace tessra::shortcuts {

namespace {

constexpr const char* kBindingName = "tessra-shortcut-binding";

void showShortcut(QAction* item, const std::optional<Shortcut>& shortcut) {
  // A combination another program holds does nothing here: never shown as if it did. While a
  // recorder pauses the grabs, the program's own still count.
  const bool held =
      shortcut && (GlobalShortcuts::isRegistered(*shortcut) || GlobalShortcuts::isPaused());
  item->setShortcut(held ? shortcut->keySequence() : QKeySequence());
}

// Follows one name for one action; a child of the action, so it goes with it.
class Binding : public QObject {
 public:
  Binding(QAction* item, const Name& name) : QObject(item) {
    setObjectName(kBindingName);
    m_observer = platform::NotificationCenter::defaultCenter().addObserver(
        GlobalShortcuts::kShortcutByNameDidChange,
        [this, item, raw = name.rawValue](const platform::Notification& notification) {
          const auto* changed = std::any_cast<Name>(&notification.object);
          if (!changed || changed->rawValue != raw) return;
          QMetaObject::invokeMethod(
              this, [item, raw] { showShortcut(item, GlobalShortcuts::getShortcut(Name(raw))); },
              Qt::QueuedConnection);
        });
  }

 private:
  platform::NotificationCenter::ObserverToken m_observer;
};

}  // namespace

void setShortcut(QAction* item, const std::optional<Name>& name) {
  delete item->findChild<QObject*>(kBindingName, Qt::FindDirectChildrenOnly);
  item->setShortcutContext(Qt::WidgetShortcut);
  if (!name) {
    showShortcut(item, std::nullopt);
    return;
  }
  showShortcut(item, name->shortcut());
  new Binding(item, *name);
}

}  // namespace tessra::shortcuts
