#include "Tessra/settings/settings_page.h"

#include <array>
#include <utility>

#include "Tessra/localized_text/localized_text.h"

namespace tessra {

namespace {

constexpr std::array<std::pair<SettingsPage::Name, std::string_view>, 12> kRawValues = {{
    {SettingsPage::Name::tessra, "Tessra"},
    {SettingsPage::Name::general, "General"},
    {SettingsPage::Name::smartTextSelection, "Smart Text Selection"},
    {SettingsPage::Name::llms, "Models Settings"},
    {SettingsPage::Name::openAi, "OpenAI"},
    {SettingsPage::Name::anthropic, "Anthropic"},
    {SettingsPage::Name::gemini, "Gemini"},
    {SettingsPage::Name::mistral, "Mistral"},
    {SettingsPage::Name::ollama, "Ollama"},
    {SettingsPage::Name::miscSection, "Misc"},
    {SettingsPage::Name::openSource, "Open Source"},
    {SettingsPage::Name::about, "About"},
}};

SettingsPage page(SettingsPage::Name name, SettingsPage::Icon::IconResource icon, QColor base) {
  return {.showName = true, .children = {}, .name = name, .icon = SettingsPage::Icon{base, icon}};
}

SettingsPage section(SettingsPage::Name name, bool showName, std::vector<SettingsPage> pages) {
  return {.showName = showName, .children = std::move(pages), .name = name, .icon = std::nullopt};
}

}  // namespace

std::string_view rawValue(SettingsPage::Name name) {
  for (const auto& [candidate, text] : kRawValues)
    if (candidate == name) return text;
  return {};
}

std::optional<SettingsPage::Name> settingsPageNameFromRawValue(std::string_view text) {
  for (const auto& [name, candidate] : kRawValues)
    if (candidate == text) return name;
  return std::nullopt;
}

QString localizedTitle(SettingsPage::Name name) {
  return LocalizedText::forKey(QString::fromUtf8(rawValue(name)));
}

QString SettingsPage::id() const { return QString::fromUtf8(rawValue(name)); }

const std::vector<SettingsPage>& SettingsPage::sidebar() {
  using System = Icon::System;
  using Asset = Icon::Asset;
  static const std::vector<SettingsPage> sections = {
      section(Name::tessra, false, {page(Name::general, System{QStringLiteral("gear")}, Qt::blue)}),
      section(Name::llms, true,
              {page(Name::openAi, Asset{QStringLiteral("openai")}, Qt::black),
               page(Name::anthropic, Asset{QStringLiteral("anthropic")}, Qt::black),
               page(Name::mistral, Asset{QStringLiteral("mistral")}, Qt::black)}),
      section(Name::miscSection, false,
              {page(Name::about, System{QStringLiteral("info.circle")}, Qt::gray)}),
  };
  return sections;
}

}  // namespace tessra
