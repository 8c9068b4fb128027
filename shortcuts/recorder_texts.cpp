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
};

constexpr std::array<Entry, 8> kTexts{{
    {"record_shortcut", "Record Shortcut", "Kurzbefehl aufnehmen", "Enregistrer un raccourci",
     "Gravar atalho"},
    {"press_shortcut", "Press Shortcut", "Kurzbefehl drücken", "Appuyez sur le raccourci",
     "Pressione o atalho"},
    {"keyboard_shortcut_used_by_menu_item",
     "This shortcut cannot be used because the menu item “%1” already uses it.",
     "Dieser Kurzbefehl ist schon dem Menüpunkt „%1“ zugeordnet.",
     "Ce raccourci est déjà utilisé par l’élément de menu « %1 ».",
     "Este atalho já é usado pelo item de menu “%1”."},
    {"keyboard_shortcut_used_by_system",
     "This shortcut is already used by another program or by the desktop.",
     "Dieser Kurzbefehl wird schon von einem anderen Programm oder vom Desktop verwendet.",
     "Ce raccourci est déjà utilisé par un autre programme ou par le bureau.",
     "Este atalho já é usado por outro programa ou pela área de trabalho."},
    {"keyboard_shortcuts_can_be_changed",
     "Most desktops let you change their own shortcuts in the keyboard settings.",
     "Die meisten Desktops erlauben, ihre Kurzbefehle in den Tastatureinstellungen zu ändern.",
     "La plupart des bureaux permettent de changer leurs raccourcis dans les réglages du clavier.",
     "A maioria das áreas de trabalho permite mudar os seus atalhos nas definições do teclado."},
    {"ok", "OK", "OK", "OK", "OK"},
    {"force_use_shortcut", "Use Anyway", "Trotzdem verwenden", "Utiliser quand même",
     "Usar mesmo assim"},
    {"shortcut_not_active", "%1 (in use by another program)",
     "%1 (von einem anderen Programm belegt)", "%1 (utilisé par un autre programme)",
     "%1 (em uso por outro programa)"},
}};

QString& languageSetting() {
  static QString language;
  return language;
}

}  // namespace

void setRecorderLanguage(const QString& languageCode) { languageSetting() = languageCode; }

QString recorderText(const char* key) {
  const QString language =
      languageSetting().isEmpty() ? QLocale().name().left(2) : languageSetting().left(2);
  for (const Entry& entry : kTexts) {
    if (std::strcmp(entry.key, key) != 0) continue;
    const char* text = language == "de"   ? entry.de
                       : language == "fr" ? entry.fr
                       : language == "pt" ? entry.pt
                                          : entry.en;
    return QString::fromUtf8(text);
  }
  return QString::fromUtf8(key);
}

}  // namespace tessra::shortcuts
