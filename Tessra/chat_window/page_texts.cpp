#include "Tessra/chat_window/page_texts.h"

#include <array>

#include "Tessra/storage/settings_enums.h"
#include "Tessra/ui_foundation/localized_text.h"

namespace tessra {

namespace {

struct PageText {
  const char* name;
  const char16_t* english;
};

constexpr std::array kPageTexts = {
    PageText{"openInWindow", u"Open in Window"},    PageText{"delete", u"Delete"},
    PageText{"generating", u"Generating…"},         PageText{"error", u"Error"},
    PageText{"contextCleared", u"Context cleared"}, PageText{"loading", u"Loading…"},
    PageText{"attachment", u"Attachment"},
};

nlohmann::json textsOf(const LanguageBundle& bundle) {
  nlohmann::json texts = nlohmann::json::object();
  for (const auto& text : kPageTexts) {
    const QString key = QStringLiteral("MessagePage.") + QString::fromUtf8(text.name);
    texts[text.name] = bundle
                           .localizedString(key, QString::fromUtf16(text.english),
                                            LocalizedText::kTableName.toString())
                           .toStdString();
  }
  return texts;
}

}  // namespace

nlohmann::json messagePageTexts() {
  auto& bundles = LocalizedText::bundles();
  nlohmann::json table = nlohmann::json::object();
  for (const AppLanguage language : allAppLanguages()) {
    if (language == AppLanguage::system) continue;
    const QString code = QString::fromUtf8(rawValue(language));
    table[std::string(rawValue(language))] = textsOf(*bundles.bundleFor(code));
  }
  const auto base = bundles.baseBundle();
  table["system"] = textsOf(*base);
  table["systemTag"] = base->code().isEmpty() ? std::string("en") : base->code().toStdString();
  return table;
}

}  // namespace tessra
