#include "shortcuts/shortcut.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <array>

#include "platform/foundation/json.h"
#include "shortcuts/global_shortcuts.h"

namespace tessra::shortcuts {

namespace {

// The keys whose text is fixed, whatever the layout: their glyph or word, and their Qt key.
struct SpecialKey {
  std::int64_t code;
  const char* text;
  int qtKey;  // a Qt::Key, with Qt::KeypadModifier for the keypad
};

constexpr int kPad = Qt::KeypadModifier;

constexpr std::array<SpecialKey, 53> kSpecialKeys{{
    {36, "\u21A9", Qt::Key_Return},
    {51, "\u232B", Qt::Key_Backspace},
    {117, "\u2326", Qt::Key_Delete},
    {119, "\u2198", Qt::Key_End},
    {53, "\u238B", Qt::Key_Escape},
    {114, "?\u20DD", Qt::Key_Insert},
    {115, "\u2196", Qt::Key_Home},
    {49, "Space", Qt::Key_Space},
    {48, "\u21E5", Qt::Key_Tab},
    {116, "\u21DE", Qt::Key_PageUp},
    {121, "\u21DF", Qt::Key_PageDown},
    {126, "\u2191", Qt::Key_Up},
    {124, "\u2192", Qt::Key_Right},
    {125, "\u2193", Qt::Key_Down},
    {123, "\u2190", Qt::Key_Left},
    {122, "F1", Qt::Key_F1},
    {120, "F2", Qt::Key_F2},
    {99, "F3", Qt::Key_F3},
    {118, "F4", Qt::Key_F4},
    {96, "F5", Qt::Key_F5},
    {97, "F6", Qt::Key_F6},
    {98, "F7", Qt::Key_F7},
    {100, "F8", Qt::Key_F8},
    {101, "F9", Qt::Key_F9},
    {109, "F10", Qt::Key_F10},
    {103, "F11", Qt::Key_F11},
    {111, "F12", Qt::Key_F12},
    {105, "F13", Qt::Key_F13},
    {107, "F14", Qt::Key_F14},
    {113, "F15", Qt::Key_F15},
    {106, "F16", Qt::Key_F16},
    {64, "F17", Qt::Key_F17},
    {79, "F18", Qt::Key_F18},
    {80, "F19", Qt::Key_F19},
    {90, "F20", Qt::Key_F20},
    {82, "0\u20E3", kPad | Qt::Key_0},
    {83, "1\u20E3", kPad | Qt::Key_1},
    {84, "2\u20E3", kPad | Qt::Key_2},
    {85, "3\u20E3", kPad | Qt::Key_3},
    {86, "4\u20E3", kPad | Qt::Key_4},
    {87, "5\u20E3", kPad | Qt::Key_5},
    {88, "6\u20E3", kPad | Qt::Key_6},
    {89, "7\u20E3", kPad | Qt::Key_7},
    {91, "8\u20E3", kPad | Qt::Key_8},
    {92, "9\u20E3", kPad | Qt::Key_9},
    {71, "\u2612\u20E3", Qt::Key_NumLock},
    {65, ".\u20E3", kPad | Qt::Key_Period},
    {75, "/\u20E3", kPad | Qt::Key_Slash},
    {76, "\u21A9\u20E3", kPad | Qt::Key_Enter},
    {81, "=\u20E3", kPad | Qt::Key_Equal},
    {78, "-\u20E3", kPad | Qt::Key_Minus},
    {67, "*\u20E3", kPad | Qt::Key_Asterisk},
    {69, "+\u20E3", kPad | Qt::Key_Plus},
}};

const SpecialKey* specialKey(std::int64_t code) {
  for (const SpecialKey& key : kSpecialKeys) {
    if (key.code == code) return &key;
  }
  return nullptr;
}

struct ModifierBit {
  std::int64_t carbon;
  Qt::KeyboardModifier qt;
  const char* word;
};

// In the order the description writes them.
constexpr std::array<ModifierBit, 4> kModifierBits{{
    {Shortcut::kControl, Qt::ControlModifier, "Ctrl+"},
    {Shortcut::kOption, Qt::AltModifier, "Alt+"},
    {Shortcut::kShift, Qt::ShiftModifier, "Shift+"},
    {Shortcut::kCommand, Qt::MetaModifier, "Super+"},
}};

std::int64_t normalised(std::int64_t carbon) {
  return carbonModifiers(modifiersFromCarbon(carbon));
}

const platform::KeyboardLayout* currentLayout(
    const platform::KeyboardLayout* given, std::shared_ptr<const platform::KeyboardLayout>& hold) {
  if (given) return given;
  hold = platform::HotKeys::shared().layout();
  return hold.get();
}

QString capitalised(const QString& text) {
  QString result = text.toLower();
  bool wordStart = true;
  for (QChar& c : result) {
    if (wordStart && c.isLetter()) c = c.toUpper();
    wordStart = c.isSpace();
  }
  return result;
}

}  // namespace

std::int64_t carbonModifiers(Qt::KeyboardModifiers modifiers) {
  std::int64_t carbon = 0;
  for (const ModifierBit& bit : kModifierBits) {
    if (modifiers.testFlag(bit.qt)) carbon |= bit.carbon;
  }
  return carbon;
}

Qt::KeyboardModifiers modifiersFromCarbon(std::int64_t carbon) {
  Qt::KeyboardModifiers modifiers;
  for (const ModifierBit& bit : kModifierBits) {
    if (carbon & bit.carbon) modifiers |= bit.qt;
  }
  return modifiers;
}

std::string describeModifiers(Qt::KeyboardModifiers modifiers) {
  std::string text;
  for (const ModifierBit& bit : kModifierBits) {
    if (modifiers.testFlag(bit.qt)) text += bit.word;
  }
  return text;
}

Shortcut::Shortcut(std::int64_t keyCode, std::int64_t modifiers)
    : carbonKeyCode(keyCode), carbonModifiers(normalised(modifiers)) {}

Shortcut::Shortcut(Key key, Qt::KeyboardModifiers modifiers)
    : carbonKeyCode(key.rawValue), carbonModifiers(shortcuts::carbonModifiers(modifiers)) {}

std::optional<Shortcut> Shortcut::fromName(const Name& name) {
  return GlobalShortcuts::getShortcut(name);
}

std::optional<Shortcut> Shortcut::fromEvent(const QKeyEvent& event,
                                            const platform::KeyboardLayout* layout) {
  if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease) return std::nullopt;
  std::shared_ptr<const platform::KeyboardLayout> hold;
  const platform::KeyboardLayout* keyboard = currentLayout(layout, hold);
  if (!keyboard) return std::nullopt;
  const auto key = keyForKeycode(event.nativeScanCode(), *keyboard);
  if (!key) return std::nullopt;
  return Shortcut(*key, event.modifiers());
}

std::optional<std::string> Shortcut::keyToCharacter(const platform::KeyboardLayout* layout) const {
  if (const SpecialKey* special = specialKey(carbonKeyCode)) return special->text;
  const auto name = xkbKeyName(key());
  if (!name) return std::nullopt;
  std::shared_ptr<const platform::KeyboardLayout> hold;
  const platform::KeyboardLayout* keyboard = currentLayout(layout, hold);
  if (!keyboard) return std::nullopt;
  const auto keycode = keyboard->keycode(*name);
  if (!keycode) return std::nullopt;
  return keyboard->character(*keycode);
}

std::string Shortcut::description(const platform::KeyboardLayout* layout) const {
  const auto character = keyToCharacter(layout);
  const std::string keyText =
      character ? capitalised(QString::fromStdString(*character)).toStdString() : "\uFFFD";
  return describeModifiers(modifiers()) + keyText;
}

QKeySequence Shortcut::keySequence() const {
  int qtKey = 0;
  if (const SpecialKey* special = specialKey(carbonKeyCode)) {
    qtKey = special->qtKey;
  } else if (const auto character = keyToCharacter()) {
    const QKeySequence parsed = QKeySequence::fromString(QString::fromStdString(*character));
    if (parsed.count() == 1) qtKey = parsed[0].toCombined();
  }
  if (qtKey == 0) return {};
  return QKeySequence(qtKey | static_cast<int>(modifiers()));
}

QAction* Shortcut::takenByMenu(const QWidget* menuRoot) const {
  const QKeySequence sequence = keySequence();
  if (!menuRoot || sequence.isEmpty()) return nullptr;
  for (QAction* action : menuRoot->actions()) {
    for (const QKeySequence& used : action->shortcuts()) {
      if (used == sequence) return action;
    }
    if (QAction* found = takenByMenu(action->menu())) return found;
  }
  return nullptr;
}

QAction* Shortcut::takenByMainMenu() const {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    const auto* mainWindow = qobject_cast<QMainWindow*>(window);
    if (!mainWindow || !mainWindow->menuWidget()) continue;
    if (QAction* found = takenByMenu(mainWindow->menuWidget())) return found;
  }
  return nullptr;
}

bool Shortcut::isTakenBySystem() const {
  if (carbonKeyCode == Key::f12.rawValue && carbonModifiers == 0) return false;
  const auto grabbed = combination();
  return grabbed && platform::HotKeys::shared().isTaken(*grabbed);
}

std::optional<platform::KeyCombination> Shortcut::combination() const {
  const auto name = xkbKeyName(key());
  if (!name) return std::nullopt;
  using platform::KeyCombination;
  std::uint32_t bits = 0;
  if (carbonModifiers & kShift) bits |= KeyCombination::shift;
  if (carbonModifiers & kControl) bits |= KeyCombination::control;
  if (carbonModifiers & kOption) bits |= KeyCombination::alt;
  if (carbonModifiers & kCommand) bits |= KeyCombination::super;
  return KeyCombination{std::string(*name), bits};
}

std::string encodeShortcut(const Shortcut& shortcut) {
  nlohmann::ordered_json json;
  json["carbonKeyCode"] = shortcut.carbonKeyCode;
  json["carbonModifiers"] = shortcut.carbonModifiers;
  return platform::encodeJson(json);
}

std::optional<Shortcut> decodeShortcut(std::string_view text) {
  try {
    const nlohmann::json json = platform::parseJson(text);
    if (!json.is_object()) return std::nullopt;
    return Shortcut(platform::requiredField<std::int64_t>(json, "carbonKeyCode"),
                    platform::requiredField<std::int64_t>(json, "carbonModifiers"));
  } catch (const platform::JsonDecodingError&) {
    return std::nullopt;
  }
}

std::optional<Key> keyForKeycode(std::uint32_t keycode, const platform::KeyboardLayout& layout) {
  for (const Key& key : Key::all()) {
    const auto name = xkbKeyName(key);
    if (name && layout.keycode(*name) == keycode) return key;
  }
  return std::nullopt;
}

}  // namespace tessra::shortcuts
