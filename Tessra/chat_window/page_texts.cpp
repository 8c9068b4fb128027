#include "Tessra/chat_window/page_texts.h"

#include <array>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/storage/settings_enums.h"

namespace tessra {

namespace {

// The names after "MessagePage." of the page's texts (LocalizedText::MessagePage).
constexpr std::array kPageTexts = {
    "attachment", "cannotOpenFile", "cannotOpenLink", "contextCleared",   "delete",
    "error",      "generating",     "loading",        "imageNotAttached", "openInWindow"};

// Every language file holds these keys; a bundle without one falls back to English.
nlohmann::json textsOf(const LanguageBundle& bundle, const LanguageBundle& english) {
  const QString table = LocalizedText::kTableName.toString();
  nlohmann::json texts = nlohmann::json::object();
  for (const char* name : kPageTexts) {
    const QString key = QStringLiteral("MessagePage.") + QString::fromUtf8(name);
    texts[name] =
        bundle.localizedString(key, english.localizedString(key, {}, table), table).toStdString();
  }
  return texts;
}

}  // namespace

nlohmann::json messagePageTexts() {
  auto& bundles = LocalizedText::bundles();
  const auto english = bundles.bundleFor(LanguageBundles::kEnglishCode.toString());
  nlohmann::json table = nlohmann::json::object();
  for (const AppLanguage language : allAppLanguages()) {
    if (language == AppLanguage::system) continue;
    const QString code = QString::fromUtf8(rawValue(language));
    table[std::string(rawValue(language))] = textsOf(*bundles.bundleFor(code), *english);
  }
  const auto base = bundles.baseBundle();
  table["system"] = textsOf(*base, *english);
  table["systemTag"] = base->code().isEmpty() ? std::string("en") : base->code().toStdString();
  return table;
}

}  // namespace tessra
