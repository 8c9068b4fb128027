// The pages of the settings window and the sidebar that lists them.
//
// A `SettingsPage` is either a page (no children, with an icon) or a section that groups pages
// (children, no icon). The sidebar is fixed: General alone; "Models Settings" over OpenAI,
// Anthropic and Mistral; About alone. A page's name is also its title and its key in the string
// table (a missing translation shows the name itself).
#pragma once

#include <QColor>
#include <QString>

#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace tessra {

struct SettingsPage {
  enum class Name {
    tessra,
    general,
    smartTextSelection,
    llms,
    openAi,
    anthropic,
    gemini,
    mistral,
    ollama,
    miscSection,
    openSource,
    about,
  };

  struct Icon {
    // A symbol drawn by the program, or an image among its resources; both by name.
    struct System {
      QString name;
      bool operator==(const System&) const = default;
    };
    struct Asset {
      QString name;
      bool operator==(const Asset&) const = default;
    };
    using IconResource = std::variant<System, Asset>;

    QColor baseColor;
    IconResource icon;

    bool operator==(const Icon&) const = default;
  };

  bool showName = true;
  std::vector<SettingsPage> children;
  Name name = Name::general;
  std::optional<Icon> icon;

  bool operator==(const SettingsPage&) const = default;

  // The page's identity: its name's raw value.
  QString id() const;

  // The three sections, built once.
  static const std::vector<SettingsPage>& sidebar();
};

// "Tessra", "General", "Smart Text Selection", "Models Settings", "OpenAI", "Anthropic",
// "Gemini", "Mistral", "Ollama", "Misc", "Open Source", "About".
std::string_view rawValue(SettingsPage::Name name);
// The name with exactly that raw value (case-sensitive), else nothing.
std::optional<SettingsPage::Name> settingsPageNameFromRawValue(std::string_view text);
// The name's title in the interface language (the raw value when untranslated).
QString localizedTitle(SettingsPage::Name name);

}  // namespace tessra
