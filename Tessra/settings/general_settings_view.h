// `GeneralSettingsView`: the settings window's General page, the application-wide settings:
// interface language, launch at login, tray icon, side button, sound, the shortcut that opens the
// chat panel, and the panel's edge, width and vertical padding.
//
// Every control writes straight into `UserSettings` (which stores and announces the value) or
// into launch at login; the page keeps nothing of its own and follows changes made elsewhere.
// The language picker offers the system's language, English and Brazilian Portuguese, the position
// picker left and right; a value in force that a picker does not offer (a language or an edge
// chosen before) stays stored and in force, and the picker shows it until another is picked.
// The side-button switch is shown only while the tray icon is, and not at all without a tray
// host, where the side button is the only way left to the panel. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;

namespace tessra {

class LoginLaunch;
namespace shortcuts {
class Recorder;
}
class SettingsToggleView;
class UserSettings;

// A labelled row with a choice: the title, an optional description under it, and a picker of
// `titles`. Choosing an entry calls `select` with its position; `selected` gives the position to
// show (-1: none, when the value in force is none of the choices; the picker then shows the
// unlisted title, when there is one, until a choice is made).
class SettingsPickerView : public QWidget {
  Q_OBJECT

 public:
  SettingsPickerView(const QString& title, const QString& description, QStringList titles,
                     std::function<int()> selected, std::function<void(int)> select,
                     QWidget* parent = nullptr);

  // The text shown for a value in force that is none of the choices.
  void setUnlistedTitle(std::function<QString()> title);
  // Shows `selected()` again.
  void refresh();
  QComboBox* picker() const { return m_picker; }

 private:
  std::function<int()> m_selected;
  std::function<void(int)> m_select;
  std::function<QString()> m_unlistedTitle;
  QComboBox* m_picker = nullptr;
};

class GeneralSettingsView : public QWidget {
  Q_OBJECT

 public:
  explicit GeneralSettingsView(QWidget* parent = nullptr);
  // Over other settings (tests); `trayAvailable` says whether the desktop shows tray icons.
  GeneralSettingsView(UserSettings& settings, bool trayAvailable, QWidget* parent = nullptr);

  SettingsPickerView* languagePicker() const { return m_language; }
  SettingsToggleView* launchAtLoginRow() const { return m_launchAtLogin; }
  SettingsToggleView* menuBarRow() const { return m_menuBar; }
  SettingsToggleView* overlayIconRow() const { return m_overlayIcon; }
  SettingsToggleView* soundRow() const { return m_sound; }
  SettingsPickerView* positionPicker() const { return m_position; }
  SettingsPickerView* sizePicker() const { return m_size; }
  SettingsPickerView* paddingPicker() const { return m_padding; }
  // The shortcut section's row.
  shortcuts::Recorder* shortcutRecorder() const { return m_shortcut; }

 private:
  void refresh();

  UserSettings& m_settings;
  bool m_trayAvailable;
  SettingsPickerView* m_language = nullptr;
  SettingsToggleView* m_launchAtLogin = nullptr;
  SettingsToggleView* m_menuBar = nullptr;
  SettingsToggleView* m_overlayIcon = nullptr;
  SettingsToggleView* m_sound = nullptr;
  SettingsPickerView* m_position = nullptr;
  SettingsPickerView* m_size = nullptr;
  SettingsPickerView* m_padding = nullptr;
  shortcuts::Recorder* m_shortcut = nullptr;
};

}  // namespace tessra
