#include "Tessra/localized_text/localized_text.h"

#include <QLocale>

#include <cstdint>
#include <mutex>

#include "Tessra/localized_text/string_formatter.h"

namespace tessra {

namespace {

std::mutex& providerMutex() {
  static std::mutex mutex;
  return mutex;
}

LocalizedText::ChosenLanguageProvider& chosenLanguageProvider() {
  static LocalizedText::ChosenLanguageProvider provider;  // guarded by providerMutex()
  return provider;
}

QString plainText(QStringView key, QStringView english) {
  return LocalizedText::tr(LocalizedText::kTableName.toString(), key.toString(), {},
                           english.toString());
}

QString formatText(QStringView key, QStringView english, const QString& argument) {
  return LocalizedText::tr(LocalizedText::kTableName.toString(), key.toString(), {argument},
                           english.toString());
}

// What a format text puts in place of "%@": a text as it is, an integer as a plain whole number,
// without the language's group separators.
QString argumentText(const QString& text) { return text; }
QString argumentText(std::int64_t number) { return QString::number(number); }

}  // namespace

void LocalizedText::setChosenLanguageProvider(ChosenLanguageProvider provider) {
  const std::lock_guard lock(providerMutex());
  chosenLanguageProvider() = std::move(provider);
}

QString LocalizedText::tr(const QString& table, const QString& key, const QStringList& arguments,
                          const QString& fallback) {
  return formatLocalized(languageBundle()->localizedString(key, fallback, table), arguments);
}

std::shared_ptr<const LanguageBundle> LocalizedText::languageBundle() {
  ChosenLanguageProvider provider;
  {
    const std::lock_guard lock(providerMutex());
    provider = chosenLanguageProvider();
  }
  std::optional<QString> chosen;
  if (provider) {
    if (const auto code = provider()) chosen = QString::fromStdString(*code);
  }
  return bundles().bundleFor(chosen);
}

LanguageBundles& LocalizedText::bundles() {
  static LanguageBundles shared(kResourceRoot.toString(),
                                [] { return QLocale::system().uiLanguages(); });
  return shared;
}

QString LocalizedText::forKey(QStringView key) {
  const QString text = key.toString();
  return languageBundle()->localizedString(text, text, kTableName.toString());
}

std::span<const QStringView> LocalizedText::keyedTexts() {
  static constexpr QStringView kKeys[] = {
#define TESSRA_KEYED_TEXT(key) key,
#include "Tessra/localized_text/localized_key_table.inc"
#undef TESSRA_KEYED_TEXT
  };
  return kKeys;
}

// The plain texts, each computed once in the language in force at its first use, and the format
// texts, computed at every call.
#define TESSRA_PLAIN_TEXT(family, name, key, english)    \
  const QString& LocalizedText::family::name() {         \
    static const QString text = plainText(key, english); \
    return text;                                         \
  }
#define TESSRA_FORMAT_TEXT(family, name, type, parameter, key, english) \
  QString LocalizedText::family::name(type parameter) {                 \
    return formatText(key, english, argumentText(parameter));           \
  }
#include "Tessra/localized_text/localized_text_table.inc"
#undef TESSRA_FORMAT_TEXT
#undef TESSRA_PLAIN_TEXT

std::span<const LocalizedText::PlainText> LocalizedText::plainTexts() {
  static constexpr PlainText kTexts[] = {
#define TESSRA_PLAIN_TEXT(family, name, key, english) {key, english, &LocalizedText::family::name},
#define TESSRA_FORMAT_TEXT(family, name, type, parameter, key, english)
#include "Tessra/localized_text/localized_text_table.inc"
#undef TESSRA_FORMAT_TEXT
#undef TESSRA_PLAIN_TEXT
  };
  return kTexts;
}

}  // namespace tessra
