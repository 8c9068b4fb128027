// The table of every text the windows, menus, panels and notifications show.
//
// A text is named by a dotted key, "<family>.<name>", and read from the string table
// "Localizable" of the interface language; the English text written here is the fallback for a
// key that the language lacks. Use the accessors, grouped by family:
//
//   LocalizedText::Conversation::untitledSession()        // "Conversation.untitledSession"
//   LocalizedText::Settings::General::language()          // "Settings.General.language"
//   LocalizedText::General::lastNItems(10)                // "General.lastNItems" with "%@" = 10
//
// An accessor is named by the key's last part. Where that cannot be a C++ name, or the key does
// not follow the pattern, the declaration names its key: "General.continue" and "General.delete"
// are continueAction() and deleteAction(), "General.Model" is model(),
// "ApiKey.validationError.length" is ApiKey::validationErrorLength(), "MessagePage.delete" is
// MessagePage::deleteAction() and
// "Settings.About.description" is Settings::aboutDescription().
//
// Plain texts are computed once, at their first use, in the language in force then, and kept
// until the program quits: a language change reaches them after a restart, which the settings
// page tells the user. The three format texts are computed at every call and follow a change at
// once.
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

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Tessra/ui_foundation/language_bundle.h"
#include "Tessra/ui_foundation/language_bundles.h"

namespace tessra {

class LocalizedText {
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

  // A plain text: its key, its English fallback and its accessor below.
  struct PlainText {
    QStringView key;
    QStringView english;
    const QString& (*accessor)();
  };
  // Every plain text, in the order of the table they are defined from.
  static std::span<const PlainText> plainTexts();

  struct ApiKey {
    static const QString& apiKeyRequired();
    static const QString& apiKeyStoredSecurely();
    static const QString& getYourApiKey();
    static const QString& keptForThisRunOnly();
    static const QString& openAiApiKey();
    static const QString& openAiInstruction();
    static const QString& updateApiKey();
    static const QString& validationErrorLength();  // "ApiKey.validationError.length"
  };

  struct Chat {
    static const QString& allMessagesDeletionTitle();
    static const QString& answerTooLong();
    static const QString& answerUnreadable();
    static const QString& clearContext();
    static const QString& clearContextCommand();
    static const QString& conversationNotSaved();
    static const QString& conversationUnreadable();
    static const QString& deleteAllMessages();
    static const QString& deleteAllMessagesCommand();
    static const QString& listTopicsCommand();
    static const QString& messageDeletionTitle();
    static const QString& newConversation();
    static const QString& openConversationCommand();
    static const QString& pinWindow();
    static const QString& pinWindowCommand();
    static const QString& promptPlaceholder();
    static const QString& questionRefused();
    static const QString& settingsCommand();
    static const QString& showTopics();
  };

  struct Conversation {
    static const QString& alreadyExistsError();
    static const QString& deletionDescription();
    static const QString& deletionTitle();
    static const QString& editDescription();
    static const QString& failedToUpdateError();
    static const QString& nameTooLongError();
    static const QString& nameTooShortError();
    static const QString& newDescription();
    static const QString& newTitle();
    static const QString& untitledSession();

    // "Edit %@" with the conversation's name.
    static QString editTitle(const QString& name);
  };

  struct ConversationSettings {
    static const QString& contextLimit();
    static const QString& contextLimitDescription();
    static const QString& frequencyPenalty();
    static const QString& frequencyPenaltyDescription();
    static const QString& presencePenalty();
    static const QString& presencePenaltyDescription();
    static const QString& temperatureDescription();
    static const QString& topP();
    static const QString& topPDescription();
  };

  struct General {
    static const QString& actionListNavigationInstructions();
    static const QString& advanced();
    static const QString& allMessages();
    static const QString& build();
    static const QString& cancel();
    static const QString& checkForUpdates();
    static const QString& continueAction();  // "General.continue"
    static const QString& conversations();
    static const QString& copyEmail();
    static const QString& create();
    static const QString& deleteAction();  // "General.delete"
    static const QString& tessraAI();
    static const QString& model();  // "General.Model"
    static const QString& openEmail();
    static const QString& openTessra();
    static const QString& prompt();
    static const QString& quit();
    static const QString& random();
    static const QString& rename();
    static const QString& save();
    static const QString& search();
    static const QString& sendFeedback();
    static const QString& settings();
    static const QString& share();
    static const QString& temperature();
    static const QString& update();
    static const QString& updaterTitle();
    static const QString& version();

    // "Version %@ is now available" with the display version of the update.
    static QString updaterDescription(const QString& version);
    // "Last %@" with the context limit; a limit of 0 is the caller's to show as allMessages().
    static QString lastNItems(std::int64_t count);
  };

  struct MessagePage {
    static const QString& attachment();
    static const QString& cannotOpenFile();
    static const QString& cannotOpenLink();
    static const QString& contextCleared();
    static const QString& deleteAction();  // "MessagePage.delete"
    static const QString& error();
    static const QString& generating();
    static const QString& imageNotAttached();
    static const QString& loading();
    static const QString& openInWindow();
  };

  struct Settings {
    static const QString& sizeExtraLarge();
    static const QString& sizeExtraSmall();
    static const QString& sizeLarge();
    static const QString& sizeMedium();
    static const QString& sizeSmall();
    static const QString& sizeUltraWide();
    static const QString& unimplementedMessage();
    static const QString& visitOurWebsite();
    static const QString& aboutDescription();  // "Settings.About.description"

    struct General {
      static const QString& appearanceHeader();
      static const QString& language();
      static const QString& languageDescription();
      static const QString& launchAtLogin();
      static const QString& openTessra();
      static const QString& position();
      static const QString& shortcutsHeader();
      static const QString& showInMenuBar();
      static const QString& showOverlayIcon();
      static const QString& size();
      static const QString& soundEffects();
      static const QString& verticalPadding();
    };
  };
};

}  // namespace tessra
