// `GeneralSettingsView`: the settings window's General page, the application-wide settings:
// interface language, launch at login, tray icon, side button, sound, the shortcut that opens the
// chat panel, and the panel's edge, width and vertical padding.
//
// Each row is bound to its setting of `UserSettings` (which stores and announces the value) or to
// launch at login, is named after it, and shows changes made elsewhere; the page keeps nothing
// of its own. The language picker offers the system's language, English and Brazilian
// Portuguese, the position picker left and right; a value in force that a picker does not offer
// stays stored and in force, and the picker shows it until another is picked. The side-button
// switch is shown only while the tray icon is, and not at all without a tray host, where the side
// button is the only way left to the panel. GUI thread only.
#pragma once

#include <QWidget>

namespace tessra {

class UserSettings;

class GeneralSettingsView : public QWidget {
  Q_OBJECT

 public:
  // The row of launch at login, which is no setting of `UserSettings`.
  static constexpr const char* kLaunchAtLoginRow = "launchAtLogin";

  explicit GeneralSettingsView(QWidget* parent = nullptr);
  // Over other settings (tests); `trayAvailable` says whether the desktop shows tray icons.
  GeneralSettingsView(UserSettings& settings, bool trayAvailable, QWidget* parent = nullptr);
};

}  // namespace tessra
