#include "shortcuts/global_shortcuts.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>
#include <unordered_set>
#include <vector>

#include "platform/foundation/logger.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/queue.h"
#include "platform/foundation/user_defaults.h"
#include "platform/ui/hot_keys.h"
#include "shortcuts/carbon_hot_keys.h"

namespace tessra::shortcuts {

namespace {

using Action = GlobalShortcuts::Action;
using ActionTable = std::map<std::string, std::vector<Action>>;
using StreamTable = std::map<std::string, std::map<std::uint64_t, Action>>;

bool isPopup(const QObject* object) {
  const auto* widget = qobject_cast<const QWidget*>(object);
  return widget != nullptr && widget->windowType() == Qt::Popup;
}

// Counts the program's open menus and other popups (a preview beside its card): each holds the
// keyboard while it is shown, so the grabs of the shortcuts get no key.
class MenuTracker : public QObject {
 public:
  bool isOpen() const { return !m_open.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide || type == QEvent::Destroy) &&
        isPopup(watched)) {
      const bool wasOpen = isOpen();
      if (type == QEvent::Show) {
        m_open.insert(watched);
      } else {
        m_open.erase(watched);
      }
      if (wasOpen != isOpen()) changed();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void changed();
  std::unordered_set<QObject*> m_open;
};

struct Registry {
  std::unordered_set<Shortcut> registeredShortcuts;
  ActionTable keyDownHandlers;
  ActionTable keyUpHandlers;
  StreamTable streamKeyDownHandlers;
  StreamTable streamKeyUpHandlers;
  bool isEnabled = true;
  int pauses = 0;
  std::uint64_t lastStreamId = 0;
  // Goes with the application object.
  QPointer<MenuTracker> menuTracker;
  bool followsService = false;
};

Registry& registry() {
  static Registry state;
  return state;
}

// Tells the hot-key layer what the switches ask for. While paused the keys must reach the
// recorder field that has the focus, so nothing is grabbed.
void updateHotKeyLayer() {
  using Mode = CarbonHotKeys::Mode;
  if (!GlobalShortcuts::isEnabled() || GlobalShortcuts::isPaused()) {
    CarbonHotKeys::updateEventHandler(Mode::off);
    return;
  }
  CarbonHotKeys::updateEventHandler(GlobalShortcuts::isMenuOpen() ? Mode::matchingInMenu
                                                                  : Mode::grabbing);
}

void MenuTracker::changed() {
  updateHotKeyLayer();
  if (!isOpen()) GlobalShortcuts::retryRefused();
}

platform::UserDefaults& defaults() { return platform::UserDefaults::standard(); }

void postChange(const Name& name) {
  platform::NotificationCenter::defaultCenter().post(GlobalShortcuts::kShortcutByNameDidChange,
                                                     {{"name", name.rawValue}}, name);
}

template <class Table>
void addShortcutsOf(const Table& table, std::unordered_set<Shortcut>& into) {
  for (const auto& [name, entries] : table) {
    if (const auto shortcut = GlobalShortcuts::getShortcut(Name(name))) into.insert(*shortcut);
  }
}

std::unordered_set<Shortcut> shortcutsOfActionHandlers() {
  std::unordered_set<Shortcut> shortcuts;
  addShortcutsOf(registry().keyDownHandlers, shortcuts);
  addShortcutsOf(registry().keyUpHandlers, shortcuts);
  return shortcuts;
}

std::unordered_set<Shortcut> shortcutsOfStreamHandlers() {
  std::unordered_set<Shortcut> shortcuts;
  addShortcutsOf(registry().streamKeyDownHandlers, shortcuts);
  addShortcutsOf(registry().streamKeyUpHandlers, shortcuts);
  return shortcuts;
}

// True when a name other than `name` with handlers or streams stores `shortcut`: its grab must
// stay when `name` lets go of it.
bool storedByAnotherName(const Shortcut& shortcut, const Name& name) {
  const Registry& state = registry();
  const auto storedByOne = [&](const auto& table) {
    for (const auto& [other, entries] : table) {
      if (other != name.rawValue && GlobalShortcuts::getShortcut(Name(other)) == shortcut) {
        return true;
      }
    }
    return false;
  };
  return storedByOne(state.keyDownHandlers) || storedByOne(state.keyUpHandlers) ||
         storedByOne(state.streamKeyDownHandlers) || storedByOne(state.streamKeyUpHandlers);
}

bool matches(const std::string& name, const Shortcut& pressed) {
  const auto stored = GlobalShortcuts::getShortcut(Name(name));
  return stored && *stored == pressed;
}

void handleEvent(const Shortcut& pressed, const ActionTable& handlers, const StreamTable& streams) {
  if (GlobalShortcuts::isPaused()) return;
  // Actions may add or remove handlers: run what was there when the key went down.
  const ActionTable actionsNow = handlers;
  const StreamTable streamsNow = streams;
  for (const auto& [name, actions] : actionsNow) {
    if (!matches(name, pressed)) continue;
    for (const Action& action : actions) action();
  }
  for (const auto& [name, actions] : streamsNow) {
    if (!matches(name, pressed)) continue;
    for (const auto& [id, action] : actions) action();
  }
}

}  // namespace

std::string GlobalShortcuts::defaultsKey(const Name& name) {
  return "GlobalShortcuts_" + name.rawValue;
}

std::optional<Shortcut> GlobalShortcuts::getShortcut(const Name& name) {
  const auto text = defaults().string(defaultsKey(name));
  if (!text) return std::nullopt;
  return decodeShortcut(*text);
}

void GlobalShortcuts::userDefaultsSet(const Name& name, const Shortcut& shortcut) {
  const std::string text = encodeShortcut(shortcut);
  if (const auto old = getShortcut(name); old && !storedByAnotherName(*old, name)) {
    unregisterShortcut(*old);
  }
  registerShortcutIfNeeded(shortcut);
  if (const auto written = defaults().set(defaultsKey(name), text); !written) {
    platform::logError("The shortcut of {} could not be saved", name.rawValue);
  }
  postChange(name);
}

void GlobalShortcuts::setShortcut(std::optional<Shortcut> shortcut, const Name& name) {
  if (shortcut) {
    userDefaultsSet(name, *shortcut);
    return;
  }
  const auto old = getShortcut(name);
  if (!old) return;
  const auto written = name.defaultShortcut ? defaults().set(defaultsKey(name), false)
                                            : defaults().removeObject(defaultsKey(name));
  if (!written) platform::logError("The cleared shortcut of {} could not be saved", name.rawValue);
  if (!storedByAnotherName(*old, name)) unregisterShortcut(*old);
  postChange(name);
}

void GlobalShortcuts::resetShortcuts(std::span<const Name> names) {
  for (const Name& name : names) {
    if (name.defaultShortcut) {
      userDefaultsSet(name, *name.defaultShortcut);
    } else {
      setShortcut(std::nullopt, name);
    }
  }
}

bool GlobalShortcuts::registerShortcutIfNeeded(const Shortcut& shortcut) {
  Registry& state = registry();
  if (!state.followsService) {
    state.followsService = true;
    // A registration the server takes back is no longer registered; a new layout is a chance
    // for the refused ones.
    CarbonHotKeys::setOnRegistrationLost(
        [](const Shortcut& lost) { registry().registeredShortcuts.erase(lost); });
    QObject::connect(&platform::HotKeys::shared(), &platform::HotKeys::layoutChanged,
                     &platform::HotKeys::shared(), [] { retryRefused(); });
  }
  if (state.registeredShortcuts.contains(shortcut)) return true;
  if (!CarbonHotKeys::register_(shortcut, &GlobalShortcuts::handleOnKeyDown,
                                &GlobalShortcuts::handleOnKeyUp)) {
    return false;
  }
  state.registeredShortcuts.insert(shortcut);
  return true;
}

void GlobalShortcuts::unregisterShortcut(const Shortcut& shortcut) {
  CarbonHotKeys::unregister(shortcut);
  registry().registeredShortcuts.erase(shortcut);
}

void GlobalShortcuts::retryRefused() {
  if (!isEnabled()) return;
  std::unordered_set<Shortcut> wanted = shortcutsOfActionHandlers();
  wanted.merge(shortcutsOfStreamHandlers());
  for (const Shortcut& shortcut : wanted) registerShortcutIfNeeded(shortcut);
}

void GlobalShortcuts::enableShortcuts(std::span<const Name> names) {
  for (const Name& name : names) {
    if (const auto shortcut = getShortcut(name)) registerShortcutIfNeeded(*shortcut);
  }
}

void GlobalShortcuts::disableShortcuts(std::span<const Name> names) {
  for (const Name& name : names) {
    if (const auto shortcut = getShortcut(name)) unregisterShortcut(*shortcut);
  }
}

bool GlobalShortcuts::isRegistered(const Shortcut& shortcut) {
  return registry().registeredShortcuts.contains(shortcut);
}

bool GlobalShortcuts::isEnabled() { return registry().isEnabled; }

void GlobalShortcuts::setEnabled(bool enabled) {
  if (registry().isEnabled == enabled) return;
  registry().isEnabled = enabled;
  updateHotKeyLayer();
  if (enabled) retryRefused();
}

GlobalShortcuts::Pause::Pause() {
  if (++registry().pauses == 1) updateHotKeyLayer();
}

GlobalShortcuts::Pause::~Pause() {
  if (--registry().pauses > 0) return;
  updateHotKeyLayer();
  retryRefused();
}

bool GlobalShortcuts::isPaused() { return registry().pauses > 0; }

bool GlobalShortcuts::isMenuOpen() {
  const MenuTracker* tracker = registry().menuTracker;
  return tracker && tracker->isOpen();
}

void GlobalShortcuts::onKeyDown(const Name& name, Action action) {
  registry().keyDownHandlers[name.rawValue].push_back(std::move(action));
  if (const auto shortcut = getShortcut(name)) registerShortcutIfNeeded(*shortcut);
}

void GlobalShortcuts::onKeyUp(const Name& name, Action action) {
  registry().keyUpHandlers[name.rawValue].push_back(std::move(action));
  if (const auto shortcut = getShortcut(name)) registerShortcutIfNeeded(*shortcut);
}

void GlobalShortcuts::removeAllActionHandlers() {
  const auto ofActions = shortcutsOfActionHandlers();
  const auto ofStreams = shortcutsOfStreamHandlers();
  for (const Shortcut& shortcut : ofActions) {
    if (!ofStreams.contains(shortcut)) unregisterShortcut(shortcut);
  }
  registry().keyDownHandlers.clear();
  registry().keyUpHandlers.clear();
}

platform::AsyncStream<EventType> GlobalShortcuts::eventStream(const Name& name) {
  return openStream(name, std::nullopt);
}

platform::AsyncStream<EventType> GlobalShortcuts::eventStream(EventType type, const Name& name) {
  return openStream(name, type);
}

platform::AsyncStream<EventType> GlobalShortcuts::openStream(const Name& name,
                                                             std::optional<EventType> only) {
  auto [stream, continuation] = platform::AsyncStream<EventType>::makeStream();
  const std::uint64_t id = ++registry().lastStreamId;
  const std::string key = name.rawValue;
  const auto yielder = [continuation, only](EventType type) -> Action {
    if (only && *only != type) return [] {};
    return [continuation, type] { continuation.yield(type); };
  };
  platform::mainQueue().async(
      [key, id, down = yielder(EventType::keyDown), up = yielder(EventType::keyUp)] {
        registry().streamKeyDownHandlers[key][id] = down;
        registry().streamKeyUpHandlers[key][id] = up;
        if (const auto shortcut = getShortcut(Name(key))) registerShortcutIfNeeded(*shortcut);
      });
  continuation.setOnTermination([key, id](platform::StreamTermination) {
    platform::mainQueue().async([key, id] {
      for (StreamTable* table :
           {&registry().streamKeyDownHandlers, &registry().streamKeyUpHandlers}) {
        const auto it = table->find(key);
        if (it == table->end()) continue;
        it->second.erase(id);
        if (it->second.empty()) table->erase(it);
      }
      const auto shortcut = getShortcut(Name(key));
      if (shortcut && !shortcutsOfActionHandlers().contains(*shortcut) &&
          !shortcutsOfStreamHandlers().contains(*shortcut)) {
        unregisterShortcut(*shortcut);
      }
    });
  });
  return std::move(stream);
}

void GlobalShortcuts::handleOnKeyDown(const Shortcut& shortcut) {
  handleEvent(shortcut, registry().keyDownHandlers, registry().streamKeyDownHandlers);
}

void GlobalShortcuts::handleOnKeyUp(const Shortcut& shortcut) {
  handleEvent(shortcut, registry().keyUpHandlers, registry().streamKeyUpHandlers);
}

void GlobalShortcuts::observeMenuTracking() {
  Registry& state = registry();
  if (state.menuTracker || !qApp) return;
  state.menuTracker = new MenuTracker();
  state.menuTracker->setParent(qApp);
  qApp->installEventFilter(state.menuTracker);
}

}  // namespace tessra::shortcuts
