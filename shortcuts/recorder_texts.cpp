#include "shortcuts/recorder_texts.h"

#include <QLocale>

#include <array>
#include <cstring>

namespace tessra::shortcuts {

namespace {

struct Entry {
  const char* key;
  const char* en;
  const char* de;
  const char* fr;
  const char* pt;
  const char* ja;
  const char* zh;
};

constexpr std::array<Entry, 8> kTexts{{
    {"record_shortcut", "Record Shortcut", "Kurzbefehl aufnehmen", "Enregistrer un raccourci",
     "Gravar atalho", "ショートカットを記録", "录制快捷键"},
    {"press_shortcut", "Press Shortcut", "Kurzbefehl drücken", "Appuyez sur le raccourci",
     "Pressione o atalho", "ショートカットを押してください", "请按下快捷键"},
    {"keyboard_shortcut_used_by_menu_item",
     "This shortcut cannot be used because the menu item “%1” already uses it.",
     "Dieser Kurzbefehl ist schon dem Menüpunkt „%1“ zugeordnet.",
     "Ce raccourci est déjà utilisé par l’élément de menu « %1 ».",
     "Este atalho já é usado pelo item de menu “%1”.",
     "このショートカットはメニュー項目「%1」で使用されているため、使用できません。",
     "此快捷键已被菜单项“%1”使用，无法使用。"},
    {"keyboard_shortcut_used_by_system",
     "This shortcut is already used by another program or by the desktop.",
     "Dieser Kurzbefehl wird schon von einem anderen Programm oder vom Desktop verwendet.",
     "Ce raccourci est déjà utilisé par un autre programme ou par le bureau.",
     "Este atalho já é usado por outro programa ou pela área de trabalho.",
     "このショートカットは、ほかのプログラムまたはデスクトップですでに使用されています。",
     "此快捷键已被其他程序或桌面使用。"},
    {"keyboard_shortcuts_can_be_changed",
     "Most desktops let you change their own shortcuts in the keyboard settings.",
     "Die meisten Desktops erlauben, ihre Kurzbefehle in den Tastatureinstellungen zu ändern.",
     "La plupart des bureaux permettent de changer leurs raccourcis dans les réglages du clavier.",
     "A maioria das áreas de trabalho permite mudar os seus atalhos nas definições do teclado.",
     "ほとんどのデスクトップでは、キーボードの設定で独自のショートカットを変更できます。",
     "大多数桌面环境都允许在键盘设置中更改其快捷键。"},
    {"ok", "OK", "OK", "OK", "OK", "OK", "确定"},
    {"force_use_shortcut", "Use Anyway", "Trotzdem verwenden", "Utiliser quand même",
     "Usar mesmo assim", "このまま使用", "仍然使用"},
    {"shortcut_not_active", "%1 (in use by another program)",
     "%1 (von einem anderen Programm belegt)", "%1 (utilisé par un autre programme)",
     "%1 (em uso por outro programa)", "%1（ほかのプログラムが使用中）", "%1（已被其他程序占用）"},
}};

QString& languageSetting() {
  static QString language;
  return language;
}

// The column of a language: Chinese only in its simplified script, which is the one we have.
const char* textIn(const Entry& entry, const QLocale& locale) {
  switch (locale.language()) {
    case QLocale::German:
      return entry.de;
    case QLocale::French:
      return entry.fr;
    case QLocale::Portuguese:
      return entry.pt;
    case QLocale::Japanese:
      return entry.ja;
    case QLocale::Chinese:
      return locale.script() == QLocale::SimplifiedChineseScript ? entry.zh : entry.en;
    default:
      return entry.en;
  }
}

}  // namespace

void setRecorderLanguage(const QString& languageCode) { languageSetting() = languageCode; }

QString recorderText(const char* key) {
  const QLocale locale = languageSetting().isEmpty() ? QLocale() : QLocale(languageSetting());
  for (const Entry& entry : kTexts) {
    if (std::strcmp(entry.key, key) == 0) return QString::fromUtf8(textIn(entry, locale));
  }
  return QString::fromUtf8(key);
}

}  // namespace tessra::shortcuts
