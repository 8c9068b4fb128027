#include "Tessra/settings/general_settings_view.h"

#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <array>
#include <string>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/settings/login_launch.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/small_views.h"
#include "shortcuts/recorder.h"
#include "shortcuts/recorder_texts.h"

namespace tessra {

namespace {

constexpr std::array kPositions = {PopupPosition::left, PopupPosition::right};
// The other languages stay reachable through the system's, and a choice of one made before stays
// in force.
constexpr std::array kLanguages = {AppLanguage::system, AppLanguage::english,
                                   AppLanguage::brazilianPortuguese};

}  // namespace

GeneralSettingsView::GeneralSettingsView(QWidget* parent)
    : GeneralSettingsView(UserSettings::shared(), QSystemTrayIcon::isSystemTrayAvailable(),
                          parent) {}

GeneralSettingsView::GeneralSettingsView(UserSettings& settings, bool trayAvailable,
                                         QWidget* parent)
    : QWidget(parent) {
  using Text = LocalizedText::Settings::General;
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 20, 20, 20);
  page->setSpacing(6);

  QVBoxLayout* first = addSection(page, this);
  addPickerRow(first, Text::language(), Text::languageDescription(), settings, setting::appLanguage,
               kLanguages);
  auto* launchAtLogin = new SettingsToggleView(
      Text::launchAtLogin(),
      {[] { return LoginLaunch::isEnabled(); }, [](bool on) { LoginLaunch::setEnabled(on); }},
      this);
  launchAtLogin->setObjectName(kLaunchAtLoginRow);
  connect(&LoginLaunch::observable(), &LoginLaunch::Observable::isEnabledChanged, launchAtLogin,
          &SettingsToggleView::refresh);
  first->addWidget(launchAtLogin);
  addToggleRow(first, Text::showInMenuBar(), settings, setting::menuBarVisible);
  SettingsToggleView* overlayIcon =
      addToggleRow(first, Text::showOverlayIcon(), settings, setting::overlayIconVisible);
  addToggleRow(first, Text::soundEffects(), settings, setting::soundEffectEnabled);

  QVBoxLayout* shortcuts = addSection(page, this, Text::shortcutsHeader());
  // The recorder's own texts read in the program's language, like the rest of the page.
  shortcuts::setRecorderLanguage(
      QString::fromStdString(settings.chosenLanguageCode().value_or(std::string())));
  // The recorder stores a new shortcut at once, and the global hot key follows it.
  shortcuts->addWidget(new shortcuts::Recorder(Text::openTessra(), openTessraGlobal(), this));

  QVBoxLayout* appearance = addSection(page, this, Text::appearanceHeader());
  addPickerRow(appearance, Text::position(), {}, settings, setting::popupPosition, kPositions);
  addPickerRow(appearance, Text::size(), {}, settings, setting::floatingWindowSize,
               allFloatingWindowSizes());
  addPickerRow(appearance, Text::verticalPadding(), {}, settings, setting::popupPadding,
               allFloatingWindowPaddings());
  page->addStretch(1);

  // One way to the panel must stay: without the tray icon (or a tray to show it) the side button
  // is on, so its switch is not offered.
  const auto offerOverlayIcon = [overlayIcon, &settings, trayAvailable] {
    overlayIcon->setVisible(trayAvailable && settings.value(setting::menuBarVisible));
  };
  settings.onValueChanged(setting::menuBarVisible, overlayIcon, offerOverlayIcon);
  offerOverlayIcon();
}

}  // namespace tessra
