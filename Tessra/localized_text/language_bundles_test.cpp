#include "Tessra/localized_text/language_bundles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testing/log_capture.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

using namespace Qt::StringLiterals;

// A resource root on disk with a string table per language, each naming its language.
class LanguageFolders {
 public:
  explicit LanguageFolders(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) add(code);
  }

  void add(const std::string& code) {
    m_dir.write("l10n/" + code + ".lproj/Localizable.json",
                R"({"Test.language": ")" + code + R"(", "Test.only.)" + code + R"(": "yes"})");
  }

  void remove(const std::string& code) {
    std::filesystem::remove_all(m_dir / ("l10n/" + code + ".lproj"));
  }

  void write(const std::string& name, const std::string& content) {
    m_dir.write("l10n/" + name, content);
  }

  QString root() const { return QString::fromStdString((m_dir / "l10n").string()); }

 private:
  testing::TempDir m_dir;
};

QString languageOf(const std::shared_ptr<const LanguageBundle>& bundle) {
  return bundle->localizedString(u"Test.language"_s, u"fallback"_s, u"Localizable"_s);
}

LanguageBundles::PreferredLanguages fixed(QStringList languages) {
  return [languages] { return languages; };
}

const std::vector<std::string> kAllCodes = {"en", "zh-Hans", "fr", "de", "ja", "pt-BR"};

TEST(LanguageMatch, PicksTheFirstPreferredLanguageThatHasAFolder) {
  const QStringList available = {u"de"_s, u"en"_s, u"fr"_s, u"ja"_s, u"pt-BR"_s, u"zh-Hans"_s};
  struct Case {
    QStringList preferred;
    std::optional<QString> expected;
  };
  const Case cases[] = {
      {{u"de"_s}, u"de"_s},
      {{u"fr-CA"_s, u"de"_s}, u"fr"_s},
      {{u"sv-SE"_s, u"es-ES"_s, u"ja-JP"_s}, u"ja"_s},
      {{u"en-GB"_s}, u"en"_s},
      {{u"de_AT"_s}, u"de"_s},
      {{u"zh-CN"_s}, u"zh-Hans"_s},
      {{u"zh-Hans-SG"_s}, u"zh-Hans"_s},
      {{u"ZH-HANS"_s}, u"zh-Hans"_s},
      {{u"pt-PT"_s}, u"pt-BR"_s},
      {{u"pt_BR"_s}, u"pt-BR"_s},
      // Traditional Chinese readers are not served Simplified Chinese.
      {{u"zh-TW"_s, u"fr"_s}, u"fr"_s},
      {{u"zh-Hant-HK"_s}, std::nullopt},
      {{u"C"_s}, std::nullopt},
      {{u"not a tag"_s}, std::nullopt},
      {{u"sv-SE"_s}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(bestLanguageMatch(test.preferred, available), test.expected)
        << test.preferred.join(u',').toStdString();
  }
}

TEST(LanguageBundles, BaseBundleFollowsTheSystemLanguagesOnceAndFallsBackToEnglish) {
  LanguageFolders folders(kAllCodes);
  struct Case {
    QStringList preferred;
    QString expected;
  };
  const Case cases[] = {
      {{u"ja-JP"_s, u"en-US"_s}, u"ja"_s},
      {{u"sv-SE"_s, u"pt-PT"_s}, u"pt-BR"_s},
      {{u"sv-SE"_s}, u"en"_s},
      {{}, u"en"_s},
  };
  for (const Case& test : cases) {
    std::atomic<int> asked = 0;
    LanguageBundles bundles(folders.root(), [&] {
      ++asked;
      return test.preferred;
    });
    EXPECT_EQ(languageOf(bundles.baseBundle()), test.expected);
    EXPECT_EQ(languageOf(bundles.bundleFor(std::nullopt)), test.expected);
    EXPECT_EQ(bundles.baseBundle(), bundles.bundleFor(std::nullopt));
    EXPECT_EQ(asked.load(), 1);
    EXPECT_TRUE(bundles.cachedCodes().isEmpty()) << "the system setting makes no cache entry";
  }
}

TEST(LanguageBundles, WithoutAnyFolderEveryTextIsItsFallback) {
  LanguageFolders folders({});
  LanguageBundles bundles(folders.root(), fixed({u"de-DE"_s}));
  EXPECT_EQ(languageOf(bundles.baseBundle()), u"fallback"_s);
  EXPECT_EQ(languageOf(bundles.bundleFor(u"de"_s)), u"fallback"_s);
}

TEST(LanguageBundles, ChosenLanguageIsOpenedOnceAndCached) {
  LanguageFolders folders(kAllCodes);
  LanguageBundles bundles(folders.root(), fixed({u"en-US"_s}));

  const auto german = bundles.bundleFor(u"de"_s);
  EXPECT_EQ(languageOf(german), u"de"_s);
  EXPECT_EQ(german->code(), u"de"_s);
  EXPECT_EQ(bundles.cachedCodes(), QStringList{u"de"_s});

  // Once cached, the bundle stays even when its folder goes away.
  folders.remove("de");
  EXPECT_EQ(bundles.bundleFor(u"de"_s), german);

  EXPECT_EQ(languageOf(bundles.bundleFor(u"zh-Hans"_s)), u"zh-Hans"_s);
  EXPECT_EQ(bundles.cachedCodes(), (QStringList{u"de"_s, u"zh-Hans"_s}));
}

TEST(LanguageBundles, ChosenLanguageWithoutFolderReadsBaseAndIsSoughtAgain) {
  LanguageFolders folders({"en", "fr"});
  LanguageBundles bundles(folders.root(), fixed({u"fr-FR"_s}));

  EXPECT_EQ(languageOf(bundles.bundleFor(u"de"_s)), u"fr"_s) << "the base bundle, in French";
  EXPECT_TRUE(bundles.cachedCodes().isEmpty());
  EXPECT_EQ(languageOf(bundles.bundleFor(u"de"_s)), u"fr"_s);
  EXPECT_TRUE(bundles.cachedCodes().isEmpty());

  folders.add("de");
  EXPECT_EQ(languageOf(bundles.bundleFor(u"de"_s)), u"de"_s);
  EXPECT_EQ(bundles.cachedCodes(), QStringList{u"de"_s});
}

TEST(LanguageBundles, ChosenCodeNamesOnlyAFolderDirectlyUnderTheRoot) {
  LanguageFolders folders({"en"});
  // A folder beside the root that a crafted code could reach.
  folders.write("../outside.lproj/Localizable.json", R"({"Test.language": "outside"})");

  LanguageBundles bundles(folders.root(), fixed({u"en"_s}));
  for (const QString& code : {u"../outside"_s, u"."_s, u".."_s, u""_s, u"a/../../outside"_s}) {
    EXPECT_EQ(languageOf(bundles.bundleFor(code)), u"en"_s) << code.toStdString();
  }
  EXPECT_TRUE(bundles.cachedCodes().isEmpty());
}

TEST(LanguageBundles, RacingFirstUsesOpenEachBundleOnce) {
  LanguageFolders folders(kAllCodes);
  std::atomic<int> asked = 0;
  LanguageBundles bundles(folders.root(), [&] {
    ++asked;
    return QStringList{u"ja"_s};
  });
  constexpr int kThreads = 8;
  std::vector<std::shared_ptr<const LanguageBundle>> bases(kThreads);
  std::vector<std::shared_ptr<const LanguageBundle>> germans(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int index = 0; index < kThreads; ++index) {
      threads.emplace_back([&, index] {
        bases[index] = bundles.bundleFor(std::nullopt);
        germans[index] = bundles.bundleFor(u"de"_s);
      });
    }
  }
  EXPECT_EQ(asked.load(), 1);
  for (int index = 0; index < kThreads; ++index) {
    EXPECT_EQ(bases[index], bases[0]);
    EXPECT_EQ(germans[index], germans[0]);
  }
  EXPECT_EQ(languageOf(bases[0]), u"ja"_s);
  EXPECT_EQ(languageOf(germans[0]), u"de"_s);
}

TEST(LanguageBundle, KeyOrTableMissingGivesTheFallback) {
  LanguageFolders folders({"de"});
  const auto bundle = LanguageBundle::open(folders.root() + u"/de.lproj"_s);
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->localizedString(u"Test.language"_s, u"x"_s, u"Localizable"_s), u"de"_s);
  EXPECT_EQ(bundle->localizedString(u"Test.absent"_s, u"Absent"_s, u"Localizable"_s), u"Absent"_s);
  EXPECT_EQ(bundle->localizedString(u"Test.language"_s, u"Other"_s, u"Other"_s), u"Other"_s);
  EXPECT_FALSE(LanguageBundle::open(folders.root() + u"/fr.lproj"_s));
  EXPECT_FALSE(LanguageBundle::open(folders.root() + u"/de.lproj/Localizable.json"_s));
}

TEST(LanguageBundle, UnreadableTableIsLoggedAndReadsAsMissing) {
  std::vector<std::string> lines;
  LanguageFolders folders({});
  folders.write("de.lproj/Localizable.json", R"({"Test.language": "de", "Test.cut": )");
  folders.write("de.lproj/Menus.json", R"(["not", "an", "object"])");
  folders.write("de.lproj/Mixed.json",
                R"({"Test.number": 5, "Test.text": "Text", "Test.null": null})");
  std::optional<tessra::testing::LogCapture> log(std::in_place);
  const auto bundle = LanguageBundle::open(folders.root() + u"/de.lproj"_s);
  lines = log->lines();
  log.reset();

  ASSERT_TRUE(bundle);
  EXPECT_EQ(languageOf(bundle), u"fallback"_s);
  EXPECT_EQ(bundle->localizedString(u"Test.a"_s, u"A"_s, u"Menus"_s), u"A"_s);
  // A row of the wrong type costs only that row.
  EXPECT_EQ(bundle->localizedString(u"Test.text"_s, u"T"_s, u"Mixed"_s), u"Text"_s);
  EXPECT_EQ(bundle->localizedString(u"Test.number"_s, u"N"_s, u"Mixed"_s), u"N"_s);
  EXPECT_EQ(bundle->localizedString(u"Test.null"_s, u"Z"_s, u"Mixed"_s), u"Z"_s);

  ASSERT_EQ(lines.size(), 4u);
  const auto mentions = [&](const std::string& needle) {
    return std::ranges::count_if(
        lines, [&](const std::string& line) { return line.find(needle) != std::string::npos; });
  };
  EXPECT_EQ(mentions("Localizable.json is not a JSON object"), 1);
  EXPECT_EQ(mentions("Menus.json is not a JSON object"), 1);
  EXPECT_EQ(mentions("\"Test.number\" is not text"), 1);
  EXPECT_EQ(mentions("\"Test.null\" is not text"), 1);
}

TEST(LanguageBundles, RealResourcesServeEveryLanguage) {
  LanguageBundles bundles(u":/l10n"_s, fixed({u"ja-JP"_s}));
  for (const std::string& code : kAllCodes) {
    EXPECT_TRUE(bundles.availableCodes().contains(QString::fromStdString(code))) << code;
  }
  EXPECT_EQ(bundles.baseBundle()->code(), u"ja"_s);
  EXPECT_EQ(
      bundles.baseBundle()->localizedString(u"General.cancel"_s, u"Cancel"_s, u"Localizable"_s),
      u"キャンセル"_s);
  EXPECT_EQ(bundles.bundleFor(u"pt-BR"_s)
                ->localizedString(u"General.cancel"_s, u"Cancel"_s, u"Localizable"_s),
            u"Cancelar"_s);
}

}  // namespace
}  // namespace tessra
