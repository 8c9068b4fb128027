#include "shortcuts/carbon_hot_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QObject>
#include <map>
#include <unordered_set>
#include <vector>

#include "platform/foundation/logger.h"
#include "platform/ui/hot_keys.h"

namespace tessra::shortcuts {

namespace {

struct HotKey {
  Shortcut shortcut;
  std::int64_t carbonHotKeyId = 0;
  std::optional<platform::KeyCombination> grabbed;  // absent while released
  CarbonHotKeys::Callback onKeyDown;
  CarbonHotKeys::Callback onKeyUp;
};

// The layer's state, and the key matcher used while a menu holds the keyboard.
class Layer : public QObject {
 public:
  Layer() {
    auto& service = platform::HotKeys::shared();
    connect(&service, &platform::HotKeys::pressed, this,
            [this](const platform::KeyCombination& c) { deliver(c, &HotKey::onKeyDown); });
    connect(&service, &platform::HotKeys::released, this,
            [this](const platform::KeyCombination& c) { deliver(c, &HotKey::onKeyUp); });
    connect(&service, &platform::HotKeys::grabLost, this,
            [this](const platform::KeyCombination& c) { dropGrabbed(c); });
  }

  std::map<std::int64_t, HotKey> hotKeys;
  std::int64_t counter = 0;
  CarbonHotKeys::Mode mode = CarbonHotKeys::Mode::grabbing;
  CarbonHotKeys::Callback onLost;
  // The refused shortcuts already logged: a refusal is tried again after every menu and every
  // recording, and the log says it once until a grab succeeds.
  std::unordered_set<Shortcut> loggedRefusals;

  void setMatching(bool on) {
    if (on == m_matching || !qApp) return;
    m_matching = on;
    m_keysDown.clear();
    if (on) {
      qApp->installEventFilter(this);
    } else {
      qApp->removeEventFilter(this);
    }
  }

  void lose(std::map<std::int64_t, HotKey>::iterator it) {
    const Shortcut shortcut = it->second.shortcut;
    hotKeys.erase(it);
    if (onLost) onLost(shortcut);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
      return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const quint32 code = key->nativeScanCode();
    if (type == QEvent::ShortcutOverride) {
      // Claimed as a plain key press, so no menu action with the same keys runs instead.
      if (!m_keysDown.contains(code) && !matchingHotKey(*key)) return false;
      event->accept();
      return true;
    }
    if (const auto down = m_keysDown.find(code); down != m_keysDown.end()) {
      // A repeat, or the release of a matched press: that press already fired.
      if (type == QEvent::KeyPress || key->isAutoRepeat()) return true;
      const std::int64_t id = down->second;
      m_keysDown.erase(down);
      call(id, &HotKey::onKeyUp);
      return true;
    }
    if (type != QEvent::KeyPress) return false;
    // A menu closes itself when Alt goes down: the modifier that begins a shortcut keeps it open
    // for the shortcut's key, which then acts at the first press, as it does without a menu.
    if (beginsHotKey(key->key())) return true;
    const auto id = matchingHotKey(*key);
    if (!id) return false;
    m_keysDown[code] = *id;
    call(*id, &HotKey::onKeyDown);
    return true;
  }

 private:
  std::optional<std::int64_t> matchingHotKey(const QKeyEvent& key) const {
    const auto shortcut = Shortcut::fromEvent(key);
    if (!shortcut) return std::nullopt;
    for (const auto& [id, hotKey] : hotKeys) {
      if (hotKey.shortcut == *shortcut) return id;
    }
    return std::nullopt;
  }

  bool beginsHotKey(int key) const {
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    switch (key) {
      case Qt::Key_Alt:
        modifier = Qt::AltModifier;
        break;
      case Qt::Key_Control:
        modifier = Qt::ControlModifier;
        break;
      case Qt::Key_Shift:
        modifier = Qt::ShiftModifier;
        break;
      case Qt::Key_Meta:
      case Qt::Key_Super_L:
      case Qt::Key_Super_R:
        modifier = Qt::MetaModifier;
        break;
      default:
        return false;
    }
    for (const auto& [id, hotKey] : hotKeys)
      if (hotKey.shortcut.modifiers().testFlag(modifier)) return true;
    return false;
  }

  // The press or the release callback of a registration.
  using Edge = CarbonHotKeys::Callback HotKey::*;

  void call(std::int64_t id, Edge edge) {
    const auto it = hotKeys.find(id);
    if (it == hotKeys.end()) return;
    // The callback may change the table.
    const Shortcut shortcut = it->second.shortcut;
    const CarbonHotKeys::Callback callback = it->second.*edge;
    if (callback) callback(shortcut);
  }

  void deliver(const platform::KeyCombination& combination, Edge edge) {
    for (const auto& [id, hotKey] : hotKeys) {
      if (hotKey.grabbed == combination) {
        call(id, edge);
        return;
      }
    }
  }

  void dropGrabbed(const platform::KeyCombination& combination) {
    for (auto it = hotKeys.begin(); it != hotKeys.end();) {
      auto next = std::next(it);
      if (it->second.grabbed == combination) lose(it);
      it = next;
    }
  }

  bool m_matching = false;
  // Hardware key codes of the presses the matcher took, to its registration number.
  std::map<quint32, std::int64_t> m_keysDown;
};

Layer& layer() {
  // Kept for the life of the process, like the service it listens to.
  static Layer* const instance = new Layer();
  return *instance;
}

void logRefused(const Shortcut& shortcut) {
  if (!layer().loggedRefusals.insert(shortcut).second) return;
  platform::logError("Global shortcut {} is in use by another program", shortcut.description());
}

void noteGranted(const Shortcut& shortcut) { layer().loggedRefusals.erase(shortcut); }

}  // namespace

bool CarbonHotKeys::register_(const Shortcut& shortcut, Callback onKeyDown, Callback onKeyUp) {
  Layer& state = layer();
  const std::int64_t id = ++state.counter;
  const auto combination = shortcut.combination();
  if (!combination) {
    platform::logError("Global shortcut {} names no key of this keyboard", shortcut.description());
    return false;
  }
  std::optional<platform::KeyCombination> grabbed;
  if (state.mode == Mode::grabbing) {
    if (!platform::HotKeys::shared().grab(*combination)) {
      logRefused(shortcut);
      return false;
    }
    noteGranted(shortcut);
    grabbed = combination;
  }
  state.hotKeys.emplace(id,
                        HotKey{shortcut, id, grabbed, std::move(onKeyDown), std::move(onKeyUp)});
  return true;
}

void CarbonHotKeys::unregister(const Shortcut& shortcut) {
  auto& hotKeys = layer().hotKeys;
  for (auto it = hotKeys.begin(); it != hotKeys.end();) {
    if (it->second.shortcut != shortcut) {
      ++it;
      continue;
    }
    if (it->second.grabbed) platform::HotKeys::shared().ungrab(*it->second.grabbed);
    it = hotKeys.erase(it);
  }
}

void CarbonHotKeys::unregisterAll() {
  for (auto& [id, hotKey] : layer().hotKeys) {
    if (hotKey.grabbed) platform::HotKeys::shared().ungrab(*hotKey.grabbed);
    hotKey.grabbed.reset();
  }
}

void CarbonHotKeys::updateRegistrations() {
  Layer& state = layer();
  for (auto it = state.hotKeys.begin(); it != state.hotKeys.end();) {
    auto next = std::next(it);
    HotKey& hotKey = it->second;
    if (!hotKey.grabbed) {
      const auto combination = hotKey.shortcut.combination();
      if (combination && platform::HotKeys::shared().grab(*combination)) {
        hotKey.grabbed = combination;
        noteGranted(hotKey.shortcut);
      } else {
        logRefused(hotKey.shortcut);
        state.lose(it);
      }
    }
    it = next;
  }
}

void CarbonHotKeys::updateEventHandler(Mode mode) {
  layer().mode = mode;
  if (mode == Mode::grabbing) {
    updateRegistrations();
  } else {
    unregisterAll();
  }
  layer().setMatching(mode == Mode::matchingInMenu);
}

void CarbonHotKeys::setOnRegistrationLost(Callback onLost) { layer().onLost = std::move(onLost); }

std::optional<std::int64_t> CarbonHotKeys::hotKeyId(const Shortcut& shortcut) {
  for (const auto& [id, hotKey] : layer().hotKeys) {
    if (hotKey.shortcut == shortcut) return id;
  }
  return std::nullopt;
}

std::int64_t CarbonHotKeys::hotKeyIdCounter() { return layer().counter; }

}  // namespace tessra::shortcuts
