#include "Tessra/ui_foundation/localized_text.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tessra {
namespace {

using namespace Qt::StringLiterals;

// The made-up language compiled into this test program only: it holds none of the table's plain
// keys, so a plain text shows its built-in English fallback, and a few rows that only tests use.
constexpr const char* kTestLanguage = "x-test";

class TestLanguageEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    LocalizedText::setChosenLanguageProvider([] { return std::string(kTestLanguage); });
  }
  void TearDown() override { LocalizedText::setChosenLanguageProvider({}); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new TestLanguageEnvironment);

// Chooses a language for the scope of a test, then returns to the test language.
class ScopedLanguage {
 public:
  explicit ScopedLanguage(std::optional<std::string> code) {
    LocalizedText::setChosenLanguageProvider([code] { return code; });
  }
  ~ScopedLanguage() {
    LocalizedText::setChosenLanguageProvider([] { return std::string(kTestLanguage); });
  }
  ScopedLanguage(const ScopedLanguage&) = delete;
  ScopedLanguage& operator=(const ScopedLanguage&) = delete;
};

QString lookUp(const char16_t* key) {
  return LocalizedText::tr(u"Localizable"_s, QString::fromUtf16(key), {}, u"(fallback)"_s);
}

struct PlainRow {
  const char16_t* key;
  const char16_t* english;
  const QString& (*accessor)();
};

// Every plain key with its English text. Two texts name the Linux counterparts of the other
// system's parts: the login keyring and the tray.
const PlainRow kPlainRows[] = {
    {u"ApiKey.apiKeyRequired", u"API Key Required", &LocalizedText::ApiKey::apiKeyRequired},
    {u"ApiKey.apiKeyStoredSecurely",
     u"Your API Key is securely stored in the login keyring and is never transmitted elsewhere.",
     &LocalizedText::ApiKey::apiKeyStoredSecurely},
    {u"ApiKey.getYourApiKey", u"Get your API Key", &LocalizedText::ApiKey::getYourApiKey},
    {u"ApiKey.openAiApiKey", u"OpenAI API Key", &LocalizedText::ApiKey::openAiApiKey},
    {u"ApiKey.openAiInstruction",
     u"To utilize the ChatGPT features, you will be redirected to the OpenAI website to sign up "
     u"for an API key. On the site, choose \"Create new secret key\" and follow the provided steps "
     u"to obtain your API key. Please ensure that your OpenAI API key is linked to a valid payment "
     u"method, which is a requirement separate from holding a ChatGPT Plus subscription, to fully "
     u"enable ChatGPT functionalities.",
     &LocalizedText::ApiKey::openAiInstruction},
    {u"ApiKey.updateApiKey", u"Update API Key", &LocalizedText::ApiKey::updateApiKey},
    {u"ApiKey.validationError.length", u"The API Key provided does not meet the required length.",
     &LocalizedText::ApiKey::validationErrorLength},
    {u"Chat.allMessagesDeletionTitle",
     u"Are you certain you wish to delete all the messages? This action cannot be undone.",
     &LocalizedText::Chat::allMessagesDeletionTitle},
    {u"Chat.clearContext", u"Clear context", &LocalizedText::Chat::clearContext},
    {u"Chat.clearContextCommand", u"🧹 Clear Context", &LocalizedText::Chat::clearContextCommand},
    {u"Chat.deleteAllMessages", u"Delete all messages", &LocalizedText::Chat::deleteAllMessages},
    {u"Chat.deleteAllMessagesCommand", u"🗑️ Delete All Messages",
     &LocalizedText::Chat::deleteAllMessagesCommand},
    {u"Chat.listTopicsCommand", u"📚 List Topics", &LocalizedText::Chat::listTopicsCommand},
    {u"Chat.messageDeletionTitle",
     u"Are you certain you wish to delete this message? This action cannot be undone.",
     &LocalizedText::Chat::messageDeletionTitle},
    {u"Chat.newConversation", u"New Conversation", &LocalizedText::Chat::newConversation},
    {u"Chat.openConversationCommand", u"🔍 Open Conversation",
     &LocalizedText::Chat::openConversationCommand},
    {u"Chat.pinWindow", u"Pin window", &LocalizedText::Chat::pinWindow},
    {u"Chat.pinWindowCommand", u"📌 Pin Window", &LocalizedText::Chat::pinWindowCommand},
    {u"Chat.promptPlaceholder", u"What's on your mind?", &LocalizedText::Chat::promptPlaceholder},
    {u"Chat.settingsCommand", u"⚙️ Settings", &LocalizedText::Chat::settingsCommand},
    {u"Chat.showTopics", u"Show Topics", &LocalizedText::Chat::showTopics},
    {u"Conversation.alreadyExistsError", u"Conversation already exists",
     &LocalizedText::Conversation::alreadyExistsError},
    {u"Conversation.deletionDescription",
     u"Are you sure you want to delete this conversation? This action cannot be undone.",
     &LocalizedText::Conversation::deletionDescription},
    {u"Conversation.deletionTitle", u"Confirm Deletion",
     &LocalizedText::Conversation::deletionTitle},
    {u"Conversation.editDescription",
     u"Rename your conversation and choose a new emoji. Don't worry, you can change it again any "
     u"time.",
     &LocalizedText::Conversation::editDescription},
    {u"Conversation.failedToUpdateError", u"Failed to update conversation",
     &LocalizedText::Conversation::failedToUpdateError},
    {u"Conversation.nameTooLongError", u"Name too long",
     &LocalizedText::Conversation::nameTooLongError},
    {u"Conversation.nameTooShortError", u"Name too short",
     &LocalizedText::Conversation::nameTooShortError},
    {u"Conversation.newDescription",
     u"Personalize your chat with a unique name and emoji. Remember, you can edit these details "
     u"later if you want to.",
     &LocalizedText::Conversation::newDescription},
    {u"Conversation.newTitle", u"New Conversation", &LocalizedText::Conversation::newTitle},
    {u"Conversation.untitledSession", u"Untitled", &LocalizedText::Conversation::untitledSession},
    {u"ConversationSettings.contextLimit", u"Context Limit",
     &LocalizedText::ConversationSettings::contextLimit},
    {u"ConversationSettings.contextLimitDescription",
     u"How many messages the AI assistant can see. If you set it to 1, the AI will only remember "
     u"the last message you sent.",
     &LocalizedText::ConversationSettings::contextLimitDescription},
    {u"ConversationSettings.frequencyPenalty", u"Frequency Penalty",
     &LocalizedText::ConversationSettings::frequencyPenalty},
    {u"ConversationSettings.frequencyPenaltyDescription",
     u"Reduces the likelihood of repeating the same words or phrases.",
     &LocalizedText::ConversationSettings::frequencyPenaltyDescription},
    {u"ConversationSettings.presencePenalty", u"Presence Penalty",
     &LocalizedText::ConversationSettings::presencePenalty},
    {u"ConversationSettings.presencePenaltyDescription",
     u"Discourages repeating the same information or context already mentioned.",
     &LocalizedText::ConversationSettings::presencePenaltyDescription},
    {u"ConversationSettings.temperatureDescription",
     u"Controls creativity; lower values make responses more predictable, higher values increase "
     u"randomness. Select a temperature value based on the desired trade-off between coherence and "
     u"creativity for your specific application.",
     &LocalizedText::ConversationSettings::temperatureDescription},
    {u"ConversationSettings.topP", u"top_p", &LocalizedText::ConversationSettings::topP},
    {u"ConversationSettings.topPDescription",
     u"Filters out less likely responses, focusing on the top percentage, making the model's "
     u"replies more focused.",
     &LocalizedText::ConversationSettings::topPDescription},
    {u"General.actionListNavigationInstructions",
     u"**↑ ↓** to navigate, **⮐** to select, **ESC** to dismiss",
     &LocalizedText::General::actionListNavigationInstructions},
    {u"General.advanced", u"Advanced", &LocalizedText::General::advanced},
    {u"General.allMessages", u"All Messages", &LocalizedText::General::allMessages},
    {u"General.build", u"Build", &LocalizedText::General::build},
    {u"General.cancel", u"Cancel", &LocalizedText::General::cancel},
    {u"General.checkForUpdates", u"Check for Updates…", &LocalizedText::General::checkForUpdates},
    {u"General.continue", u"Continue", &LocalizedText::General::continueAction},
    {u"General.conversations", u"Conversations", &LocalizedText::General::conversations},
    {u"General.copyEmail", u"Copy Email", &LocalizedText::General::copyEmail},
    {u"General.create", u"Create", &LocalizedText::General::create},
    {u"General.delete", u"Delete", &LocalizedText::General::deleteAction},
    {u"General.tessraAI", u"Tessra AI", &LocalizedText::General::tessraAI},
    {u"General.Model", u"Model", &LocalizedText::General::model},
    {u"General.openEmail", u"Open Email", &LocalizedText::General::openEmail},
    {u"General.openTessra", u"Open Tessra", &LocalizedText::General::openTessra},
    {u"General.prompt", u"Prompt", &LocalizedText::General::prompt},
    {u"General.quit", u"Quit", &LocalizedText::General::quit},
    {u"General.random", u"Random", &LocalizedText::General::random},
    {u"General.rename", u"Rename", &LocalizedText::General::rename},
    {u"General.save", u"Save", &LocalizedText::General::save},
    {u"General.search", u"Search", &LocalizedText::General::search},
    {u"General.sendFeedback", u"Send Feedback", &LocalizedText::General::sendFeedback},
    {u"General.settings", u"Settings", &LocalizedText::General::settings},
    {u"General.share", u"Share", &LocalizedText::General::share},
    {u"General.temperature", u"Temperature", &LocalizedText::General::temperature},
    {u"General.update", u"Update", &LocalizedText::General::update},
    {u"General.updaterTitle", u"A new update is available", &LocalizedText::General::updaterTitle},
    {u"General.version", u"Version", &LocalizedText::General::version},
    {u"Settings.sizeExtraLarge", u"Extra Large - 900px", &LocalizedText::Settings::sizeExtraLarge},
    {u"Settings.sizeExtraSmall", u"Extra Small - 500px", &LocalizedText::Settings::sizeExtraSmall},
    {u"Settings.sizeLarge", u"Large - 800px", &LocalizedText::Settings::sizeLarge},
    {u"Settings.sizeMedium", u"Default - 700px", &LocalizedText::Settings::sizeMedium},
    {u"Settings.sizeSmall", u"Small - 600px", &LocalizedText::Settings::sizeSmall},
    {u"Settings.sizeUltraWide", u"Ultra Wide - 1000px", &LocalizedText::Settings::sizeUltraWide},
    {u"Settings.unimplementedMessage",
     u"We're building something exciting for you! This new feature is currently in the works and "
     u"will be available in future releases. Stay tuned! For the latest updates, visit our "
     u"website.",
     &LocalizedText::Settings::unimplementedMessage},
    {u"Settings.visitOurWebsite", u"Visit our website", &LocalizedText::Settings::visitOurWebsite},
    {u"Settings.About.description", u"Made with care, for conversations one keystroke away.",
     &LocalizedText::Settings::aboutDescription},
    {u"Settings.General.appearanceHeader", u"Appearance",
     &LocalizedText::Settings::General::appearanceHeader},
    {u"Settings.General.language", u"Language", &LocalizedText::Settings::General::language},
    {u"Settings.General.languageDescription",
     u"To apply changes in language, please restart the app manually.",
     &LocalizedText::Settings::General::languageDescription},
    {u"Settings.General.launchAtLogin", u"Launch at Login",
     &LocalizedText::Settings::General::launchAtLogin},
    {u"Settings.General.openTessra", u"Open Tessra", &LocalizedText::Settings::General::openTessra},
    {u"Settings.General.position", u"Position", &LocalizedText::Settings::General::position},
    {u"Settings.General.shortcutsHeader", u"Shortcuts",
     &LocalizedText::Settings::General::shortcutsHeader},
    {u"Settings.General.showInMenuBar", u"Show in Tray",
     &LocalizedText::Settings::General::showInMenuBar},
    {u"Settings.General.showOverlayIcon", u"Show Side Icon Overlay",
     &LocalizedText::Settings::General::showOverlayIcon},
    {u"Settings.General.size", u"Size", &LocalizedText::Settings::General::size},
    {u"Settings.General.soundEffects", u"Sound Effects",
     &LocalizedText::Settings::General::soundEffects},
    {u"Settings.General.verticalPadding", u"Vertical Padding",
     &LocalizedText::Settings::General::verticalPadding},
    {u"MessagePage.attachment", u"Attachment", &LocalizedText::MessagePage::attachment},
    {u"MessagePage.contextCleared", u"Context cleared",
     &LocalizedText::MessagePage::contextCleared},
    {u"MessagePage.delete", u"Delete", &LocalizedText::MessagePage::deleteAction},
    {u"MessagePage.error", u"Error", &LocalizedText::MessagePage::error},
    {u"MessagePage.generating", u"Generating…", &LocalizedText::MessagePage::generating},
    {u"MessagePage.loading", u"Loading…", &LocalizedText::MessagePage::loading},
    {u"MessagePage.openInWindow", u"Open in Window", &LocalizedText::MessagePage::openInWindow},
};

struct FormatRow {
  const char16_t* key;
  const char16_t* english;
};

const FormatRow kFormatRows[] = {
    {u"Conversation.editTitle", u"Edit %@"},
    {u"General.updaterDescription", u"Version %@ is now available"},
    {u"General.lastNItems", u"Last %@"},
};

const char* const kLanguages[] = {"en", "zh-Hans", "fr", "de", "ja", "pt-BR"};

QJsonObject stringFile(const std::string& code) {
  QFile file(u":/l10n/"_s + QString::fromStdString(code) + u".lproj/Localizable.json"_s);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList allKeys() {
  QStringList keys;
  for (const PlainRow& row : kPlainRows) keys.append(QString::fromUtf16(row.key));
  for (const FormatRow& row : kFormatRows) keys.append(QString::fromUtf16(row.key));
  keys.sort();
  return keys;
}

QString englishOf(const QString& key) {
  for (const PlainRow& row : kPlainRows) {
    if (key == QString::fromUtf16(row.key)) return QString::fromUtf16(row.english);
  }
  for (const FormatRow& row : kFormatRows) {
    if (key == QString::fromUtf16(row.key)) return QString::fromUtf16(row.english);
  }
  return {};
}

TEST(LocalizedTextTable, HoldsNinetySixPlainAndThreeFormatKeys) {
  EXPECT_EQ(std::size(kPlainRows), 96u);
  EXPECT_EQ(allKeys().size(), 99);
  EXPECT_EQ(allKeys().removeDuplicates(), 0);
}

TEST(LocalizedTextTable, PlainAccessorsFallBackToTheEnglishTextExactly) {
  for (const PlainRow& row : kPlainRows) {
    EXPECT_EQ(row.accessor(), QString::fromUtf16(row.english))
        << QString::fromUtf16(row.key).toStdString();
  }
}

TEST(LocalizedTextTable, AboutDescriptionIsOneLineOfText) {
  const QString& description = LocalizedText::Settings::aboutDescription();
  EXPECT_FALSE(description.isEmpty());
  EXPECT_FALSE(description.contains(u'\n'));
  EXPECT_FALSE(description.contains(u'%'));
}

TEST(LocalizedTextTable, EnglishFileHoldsTheEnglishTexts) {
  const QJsonObject english = stringFile("en");
  for (const QString& key : allKeys()) {
    EXPECT_EQ(english.value(key).toString(), englishOf(key)) << key.toStdString();
  }
}

TEST(LocalizedTextTable, EveryLanguageFileHoldsExactlyTheTableKeys) {
  for (const char* code : kLanguages) {
    const QJsonObject table = stringFile(code);
    QStringList keys = table.keys();
    keys.sort();
    EXPECT_EQ(keys, allKeys()) << code;
    for (const QString& key : keys) {
      EXPECT_TRUE(table.value(key).isString()) << code << " " << key.toStdString();
      EXPECT_FALSE(table.value(key).toString().trimmed().isEmpty())
          << code << " " << key.toStdString();
    }
  }
}

// What a translation must carry over from the English text unchanged.
struct Marks {
  qsizetype placeholders = 0;
  qsizetype percents = 0;
  qsizetype boldMarkers = 0;
  qsizetype returnSymbols = 0;
  qsizetype ellipses = 0;
  qsizetype arrows = 0;
  QString leadingEmoji;
  QStringList numbers;
  QStringList names;

  bool operator==(const Marks&) const = default;
};

Marks marksOf(const QString& text) {
  Marks marks;
  marks.placeholders = text.count(u"%@"_s);
  marks.percents = text.count(u'%');
  marks.boldMarkers = text.count(u"**"_s);
  marks.returnSymbols = text.count(u"⮐"_s);
  marks.ellipses = text.count(u"…"_s);
  marks.arrows = text.count(u"↑ ↓"_s);
  if (!text.isEmpty() && (text[0].isSurrogate() || text[0].category() == QChar::Symbol_Other)) {
    marks.leadingEmoji = text.section(u' ', 0, 0);
  }
  static const QRegularExpression number(u"\\d+"_s);
  for (auto match = number.globalMatch(text); match.hasNext();) {
    marks.numbers.append(match.next().captured());
  }
  static const QRegularExpression name(u"Tessra|OpenAI|ChatGPT[ -]Plus|ChatGPT|top_p|ESC|API"_s);
  for (auto match = name.globalMatch(text); match.hasNext();) {
    // German joins "ChatGPT-Plus-Abonnement" with hyphens.
    marks.names.append(match.next().captured().replace(u'-', u' '));
  }
  marks.names.sort();
  return marks;
}

std::string describe(const Marks& marks) {
  return QStringLiteral(
             "%@×%1 %%×%2 **×%3 ⮐×%4 …×%5 ↑↓×%6 emoji '%7' numbers [%8] names [%9]")
      .arg(marks.placeholders)
      .arg(marks.percents)
      .arg(marks.boldMarkers)
      .arg(marks.returnSymbols)
      .arg(marks.ellipses)
      .arg(marks.arrows)
      .arg(marks.leadingEmoji, marks.numbers.join(u','), marks.names.join(u','))
      .toStdString();
}

void PrintTo(const Marks& marks, std::ostream* out) { *out << describe(marks); }

TEST(LocalizedTextTable, TranslationsKeepPlaceholdersEmojiMarkersAndNames) {
  for (const char* code : kLanguages) {
    const QJsonObject table = stringFile(code);
    for (const QString& key : allKeys()) {
      const QString english = englishOf(key);
      const QString translation = table.value(key).toString();
      // The API key is the one name a language may translate ("clé API", "API-Schlüssel").
      Marks expected = marksOf(english);
      Marks actual = marksOf(translation);
      expected.names.removeAll(u"API"_s);
      actual.names.removeAll(u"API"_s);
      EXPECT_EQ(actual, expected) << code << " " << key.toStdString()
                                  << "\n  english:     " << describe(expected)
                                  << "\n  translation: " << describe(actual);
    }
  }
}

TEST(LocalizedTextTable, TranslationsAreTranslated) {
  const QJsonObject english = stringFile("en");
  for (const char* code : kLanguages) {
    if (std::string_view(code) == "en") continue;
    const QJsonObject table = stringFile(code);
    int same = 0;
    for (const QString& key : allKeys()) {
      if (table.value(key) == english.value(key)) ++same;
    }
    // Names, "top_p" and a few words that the languages share with English stay the same.
    EXPECT_LE(same, 8) << code;
  }
}

TEST(LocalizedTextTable, TextsNameTheLinuxCounterpartsOfTheOtherSystem) {
  static const QRegularExpression otherSystem(
      u"\\b(Keychain|Menu Bar|menu bar|Mac|macOS|Dock|Command|Option|Finder)\\b|⌘|⌥"_s);
  for (const QString& key : allKeys()) {
    EXPECT_FALSE(otherSystem.match(englishOf(key)).hasMatch()) << key.toStdString();
  }
  EXPECT_EQ(LocalizedText::ApiKey::apiKeyStoredSecurely(),
            u"Your API Key is securely stored in the login keyring and is never transmitted "
            "elsewhere."_s);
  EXPECT_EQ(LocalizedText::Settings::General::showInMenuBar(), u"Show in Tray"_s);
}

TEST(LocalizedTextLookup, SystemSettingReadsTheBaseBundleWithoutCaching) {
  ScopedLanguage system(std::nullopt);
  const QStringList cachedBefore = LocalizedText::bundles().cachedCodes();
  const auto bundle = LocalizedText::languageBundle();

  const QString expectedCode =
      bestLanguageMatch(QLocale::system().uiLanguages(), LocalizedText::bundles().availableCodes())
          .value_or(u"en"_s);
  EXPECT_EQ(bundle, LocalizedText::bundles().baseBundle());
  EXPECT_EQ(bundle->code(), expectedCode);
  EXPECT_EQ(lookUp(u"General.cancel"),
            bundle->localizedString(u"General.cancel"_s, u"(fallback)"_s, u"Localizable"_s));
  EXPECT_NE(lookUp(u"General.cancel"), u"(fallback)"_s);
  EXPECT_EQ(LocalizedText::bundles().cachedCodes(), cachedBefore);
}

TEST(LocalizedTextLookup, ChosenLanguageReadsItsOwnFolder) {
  struct Case {
    const char* code;
    const char16_t* cancel;
    const char16_t* lastTwelve;
  };
  const Case cases[] = {
      {"en", u"Cancel", u"Last 12"},        {"zh-Hans", u"取消", u"最近 12 条"},
      {"fr", u"Annuler", u"12 derniers"},   {"de", u"Abbrechen", u"Letzte 12"},
      {"ja", u"キャンセル", u"直近 12 件"}, {"pt-BR", u"Cancelar", u"Últimas 12"},
  };
  for (const Case& test : cases) {
    ScopedLanguage language(std::string(test.code));
    EXPECT_EQ(LocalizedText::languageBundle()->code(), QString::fromLatin1(test.code));
    EXPECT_EQ(lookUp(u"General.cancel"), QString::fromUtf16(test.cancel)) << test.code;
    EXPECT_EQ(LocalizedText::General::lastNItems(12), QString::fromUtf16(test.lastTwelve))
        << test.code;
    EXPECT_TRUE(LocalizedText::bundles().cachedCodes().contains(QString::fromLatin1(test.code)));
  }
}

TEST(LocalizedTextLookup, ChosenLanguageWithoutFolderReadsTheBaseAndIsNotCached) {
  for (const char* code : {"eo", "../l10n/de", "de.lproj/..", ""}) {
    ScopedLanguage language{std::string(code)};
    EXPECT_EQ(LocalizedText::languageBundle(), LocalizedText::bundles().baseBundle()) << code;
    EXPECT_EQ(LocalizedText::Conversation::editTitle(u"Work"_s),
              LocalizedText::bundles()
                  .baseBundle()
                  ->localizedString(u"Conversation.editTitle"_s, u"Edit %@"_s, u"Localizable"_s)
                  .replace(u"%@"_s, u"Work"_s));
    EXPECT_FALSE(LocalizedText::bundles().cachedCodes().contains(QString::fromLatin1(code)));
  }
}

TEST(LocalizedTextLookup, KeyMissingFromTheLanguageShowsItsEnglishText) {
  // The test language has no "Conversation.editTitle" and no plain key of the table.
  EXPECT_EQ(LocalizedText::languageBundle()->code(), QString::fromLatin1(kTestLanguage));
  EXPECT_EQ(LocalizedText::Conversation::editTitle(u"Work"_s), u"Edit Work"_s);
  EXPECT_EQ(lookUp(u"General.cancel"), u"(fallback)"_s);
  EXPECT_EQ(LocalizedText::General::cancel(), u"Cancel"_s);
}

TEST(LocalizedTextLookup, TranslationsGoThroughTheFormatterOnlyWithTheirOwnPlaceholders) {
  EXPECT_EQ(lookUp(u"Test.percent"), u"100% of messages"_s);
  EXPECT_EQ(lookUp(u"Test.printf"), u"Stop %d now %s, %n%@"_s);
  EXPECT_EQ(lookUp(u"Test.notText"), u"(fallback)"_s);
  EXPECT_EQ(LocalizedText::General::lastNItems(7), u"Les 7 derniers, pas %2$@"_s);
  EXPECT_EQ(LocalizedText::General::updaterDescription(u"2.1 (%d)"_s),
            u"2.1 (%d) est prête (%d%)"_s);
}

TEST(LocalizedTextLookup, PlainTextsKeepTheirFirstLanguageWhileFormatTextsFollowAChange) {
  const QString& untitled = LocalizedText::Conversation::untitledSession();
  ASSERT_EQ(untitled, u"Untitled"_s);
  ASSERT_EQ(LocalizedText::General::lastNItems(3), u"Les 3 derniers, pas %2$@"_s);

  ScopedLanguage german(std::string("de"));
  EXPECT_EQ(lookUp(u"Conversation.untitledSession"), u"Unbenannt"_s);
  EXPECT_EQ(&LocalizedText::Conversation::untitledSession(), &untitled);
  EXPECT_EQ(LocalizedText::Conversation::untitledSession(), u"Untitled"_s);
  EXPECT_EQ(LocalizedText::General::lastNItems(3), u"Letzte 3"_s);
  EXPECT_EQ(LocalizedText::Conversation::editTitle(u"Arbeit"_s), u"Arbeit bearbeiten"_s);
  EXPECT_EQ(LocalizedText::General::updaterDescription(u"2.1"_s),
            u"Version 2.1 ist jetzt verfügbar"_s);
}

TEST(LocalizedTextLookup, ContextLimitIsWrittenAsAPlainWholeNumber) {
  ScopedLanguage german(std::string("de"));
  EXPECT_EQ(LocalizedText::General::lastNItems(1234567), u"Letzte 1234567"_s);
  EXPECT_EQ(LocalizedText::General::lastNItems(-2), u"Letzte -2"_s);
  EXPECT_EQ(LocalizedText::General::lastNItems(0), u"Letzte 0"_s)
      << "0 is shown as \"All Messages\" by the settings view, not by the table";
}

TEST(LocalizedTextLookup, RacingFirstUsesComputeAPlainTextOnce) {
  std::atomic<int> asked = 0;
  LocalizedText::setChosenLanguageProvider([&] {
    ++asked;
    return std::string(kTestLanguage);
  });
  constexpr int kThreads = 8;
  std::vector<const QString*> seen(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int index = 0; index < kThreads; ++index) {
      threads.emplace_back([&, index] { seen[index] = &LocalizedText::General::share(); });
    }
  }
  LocalizedText::setChosenLanguageProvider([] { return std::string(kTestLanguage); });
  EXPECT_LE(asked.load(), 1) << "at most one computation, none when an earlier test made it";
  for (const QString* text : seen) EXPECT_EQ(text, seen[0]);
  EXPECT_EQ(*seen[0], u"Share"_s);
}

}  // namespace
}  // namespace tessra
