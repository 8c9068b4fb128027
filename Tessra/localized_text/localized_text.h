// The table of every text the windows, menus, panels and notifications show.
//
// A text is named by a dotted key, "<family>.<name>", and read from the string table
// "Localizable" of the interface language; the English text of the table is the fallback for a
// key that the language lacks. Use the accessors, grouped by family:
//
//   LocalizedText::Conversation::untitledSession()        // "Conversation.untitledSession"
//   LocalizedText::Settings::General::language()          // "Settings.General.language"
//   LocalizedText::General::lastNItems(10)                // "General.lastNItems" with "%@" = 10
//
// The texts are the rows of localized_text_table.inc, which says how to add one. The build
// generates their accessors from it into LocalizedTextAccessors, the base of this class
// (localized_text_accessors.h in the build folder), and the English string file, so a text is
// written once in English and once in each other language's string file.
//
// Plain texts are computed once, at their first use, in the language in force then, and kept
// until the program quits: a language change reaches them after a restart, which the settings
// page tells the user. Format texts are computed at every call and follow a change at once.
//
// A few texts are looked up by their English text itself, as the desktop's own lookup of a
// window's literal texts does: the settings window's page names and section headers, the
// placeholder pages, the onboarding's pages. They live in the same table of each language:
//
//   LocalizedText::forKey(u"Models Settings")             // "Configurações de modelos"
//
// A key the table lacks shows as itself. The keys the program uses so are listed in
// localized_key_table.inc, so that every language is checked to have them.
//
// The interface language: the storage layer installs a chosen-language provider at start-up that
// answers the code of the language the user picked in the settings ("en", "zh-Hans", "fr", "de",
// "ja", "pt-BR"), or nothing for "follow the system". Without a provider the system's preferred
// languages decide. Texts come from ":/l10n/<code>.lproj/Localizable.json", compiled into the
// program.
//
// Thread safety: every accessor may be called from any thread; the once-computation of a plain
// text is thread-safe. The provider is called on the thread that asks for a text (the GUI thread
// in the program), without any lock held.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Tessra/localized_text/language_bundle.h"
#include "Tessra/localized_text/language_bundles.h"
#include "Tessra/localized_text/localized_text_accessors.h"

namespace tessra {

class LocalizedText : public LocalizedTextAccessors {
 public:
  LocalizedText() = delete;

  static constexpr QStringView kTableName = u"Localizable";
  static constexpr QStringView kResourceRoot = u":/l10n";

  // Answers the code of the chosen interface language, or nothing for the system's languages.
  using ChosenLanguageProvider = std::function<std::optional<std::string>()>;

  // Installs the provider consulted at every lookup; an empty function means "follow the system".
  static void setChosenLanguageProvider(ChosenLanguageProvider provider);

  // The text of `key` in `table` of the current language bundle, `fallback` when it has none,
  // formatted with `arguments` (see string_formatter.h). Plain texts pass no arguments.
  static QString tr(const QString& table, const QString& key, const QStringList& arguments,
                    const QString& fallback);

  // The bundle texts are read from now: the chosen language's, else the base bundle.
  static std::shared_ptr<const LanguageBundle> languageBundle();

  // The base bundle and the cache of opened language bundles, over the program's resources.
  static LanguageBundles& bundles();

  // The text of `key` in the language in force, the key itself when the language lacks it;
  // looked up at every call, without formatting.
  static QString forKey(QStringView key);
  // A key for forKey, for a parameter that takes either a key or a text shown as given.
  struct Key {
    QString text;
  };
  // Every key the program looks up with forKey, in the order of localized_key_table.inc.
  static std::span<const QStringView> keyedTexts();

  // A plain text: its key, its English fallback and its accessor.
  struct PlainText {
    QStringView key;
    QStringView english;
    const QString& (*accessor)();
  };
  // Every plain text, in the order of the table they are defined from.
  static std::span<const PlainText> plainTexts();
};

}  // namespace tessra
