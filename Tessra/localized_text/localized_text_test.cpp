#include "Tessra/localized_text/localized_text.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
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

struct FormatRow {
  const char16_t* key;
  const char16_t* english;
};

// The format texts of the table, read as the library reads it.
const FormatRow kFormatRows[] = {
#define TESSRA_PLAIN_TEXT(family, name, key, english)
#define TESSRA_FORMAT_TEXT(family, name, type, parameter, key, english) {key, english},
#include "Tessra/localized_text/localized_text_table.inc"
#undef TESSRA_FORMAT_TEXT
#undef TESSRA_PLAIN_TEXT
};

const char* const kLanguages[] = {"en", "zh-Hans", "fr", "de", "ja", "pt-BR"};

QJsonObject stringFile(const std::string& code) {
  QFile file(u":/l10n/"_s + QString::fromStdString(code) + u".lproj/Localizable.json"_s);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList allKeys() {
  QStringList keys;
  for (const auto& text : LocalizedText::plainTexts()) keys.append(text.key.toString());
  for (const FormatRow& row : kFormatRows) keys.append(QString::fromUtf16(row.key));
  for (const QStringView key : LocalizedText::keyedTexts()) keys.append(key.toString());
  keys.sort();
  return keys;
}

QString englishOf(const QString& key) {
  for (const auto& text : LocalizedText::plainTexts()) {
    if (key == text.key) return text.english.toString();
  }
  for (const FormatRow& row : kFormatRows) {
    if (key == QString::fromUtf16(row.key)) return QString::fromUtf16(row.english);
  }
  // A text looked up by its English text is its own fallback.
  for (const QStringView keyed : LocalizedText::keyedTexts()) {
    if (key == keyed) return key;
  }
  return {};
}

TEST(LocalizedTextTable, PlainAccessorsFallBackToTheirOwnEnglishTextUnderDistinctKeys) {
  EXPECT_EQ(allKeys().removeDuplicates(), 0);
  for (const auto& text : LocalizedText::plainTexts())
    EXPECT_EQ(text.accessor(), text.english) << text.key.toString().toStdString();
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

// The texts a language writes as English does: the names, and words the languages share with
// English. A text left untranslated by mistake is none of them; a new one that a language really
// writes the same is named here.
bool readsAsEnglish(std::string_view code, const QString& key) {
  static const QStringList everywhere = {u"ConversationSettings.topP"_s, u"General.tessraAI"_s};
  static const std::map<std::string_view, QStringList> shared = {
      {"fr",
       {u"General.build"_s, u"General.conversations"_s, u"General.prompt"_s, u"General.version"_s,
        u"Settings.General.position"_s, u"📚 Conversations"_s}},
      {"de",
       {u"General.build"_s, u"General.prompt"_s, u"General.version"_s, u"Open Source"_s,
        u"Settings.General.position"_s}},
      {"pt-BR", {u"General.build"_s, u"General.prompt"_s}},
  };
  if (everywhere.contains(key)) return true;
  const auto found = shared.find(code);
  return found != shared.end() && found->second.contains(key);
}

TEST(LocalizedTextTable, TranslationsAreTranslated) {
  const QJsonObject english = stringFile("en");
  for (const char* code : kLanguages) {
    if (std::string_view(code) == "en") continue;
    const QJsonObject table = stringFile(code);
    for (const QString& key : allKeys()) {
      if (table.value(key) != english.value(key)) continue;
      EXPECT_TRUE(readsAsEnglish(code, key)) << code << " " << key.toStdString();
    }
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

TEST(LocalizedTextLookup, ChosenLanguageReadsItsOwnFolder) {
  struct Case {
    const char* code;
    const char16_t* cancel;
    const char16_t* lastTwelve;
    const char16_t* modelsSettings;
    const char16_t* newestVersion;
  };
  const Case cases[] = {
      {"en", u"Cancel", u"Last 12", u"Models Settings",
       u"Tessra %1 is the newest version available."},
      {"zh-Hans", u"取消", u"最近 12 条", u"模型设置", u"Tessra %1 是目前可用的最新版本。"},
      {"fr", u"Annuler", u"12 derniers", u"Réglages des modèles",
       u"Tessra %1 est la version la plus récente disponible."},
      {"de", u"Abbrechen", u"Letzte 12", u"Modelleinstellungen",
       u"Tessra %1 ist die neueste verfügbare Version."},
      {"ja", u"キャンセル", u"直近 12 件", u"モデル設定",
       u"Tessra %1 は利用可能な最新バージョンです。"},
      {"pt-BR", u"Cancelar", u"Últimas 12", u"Configurações de modelos",
       u"O Tessra %1 é a versão mais recente disponível."},
  };
  for (const Case& test : cases) {
    ScopedLanguage language(std::string(test.code));
    EXPECT_EQ(LocalizedText::languageBundle()->code(), QString::fromLatin1(test.code));
    EXPECT_EQ(lookUp(u"General.cancel"), QString::fromUtf16(test.cancel)) << test.code;
    EXPECT_EQ(LocalizedText::General::lastNItems(12), QString::fromUtf16(test.lastTwelve))
        << test.code;
    // Looked up by the English text, unformatted: the placeholder stays for the caller.
    EXPECT_EQ(LocalizedText::forKey(u"Models Settings"), QString::fromUtf16(test.modelsSettings))
        << test.code;
    EXPECT_EQ(LocalizedText::forKey(u"Tessra %1 is the newest version available."),
              QString::fromUtf16(test.newestVersion))
        << test.code;
    EXPECT_EQ(LocalizedText::forKey(u"OpenAI"), u"OpenAI"_s) << "a name without a row shows as is";
    EXPECT_TRUE(LocalizedText::bundles().cachedCodes().contains(QString::fromLatin1(test.code)));
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
