// A switch that turns launch at login on and off, with the caller's label beside it.
//
//   auto* row = new LoginLaunch::Toggle(page);                                // "Launch at login"
//   auto* row = new LoginLaunch::Toggle(QStringLiteral("Start with the desktop"), page);
//   auto* row = new LoginLaunch::Toggle(LocalizedText::Key{QStringLiteral("Settings")}, page);
//   auto* row = new LoginLaunch::Toggle([] { return new QLabel("🖥️"); }, page);
//
// The switch reads the autostart entry whenever it is drawn and writes it through
// `LoginLaunch::setEnabled`; a write the desktop refuses shows as off again. The program's own
// pages bind their rows to a `LoginLaunch::Observable` instead. GUI thread only.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "Tessra/localized_text/localized_text.h"

namespace tessra {

class LoginLaunchObservable;
class ToggleSwitch;

class LoginLaunchToggle : public QWidget {
  Q_OBJECT

 public:
  using LabelBuilder = std::function<QWidget*()>;

  // Labelled "Launch at login".
  explicit LoginLaunchToggle(QWidget* parent = nullptr);
  // Labelled by the widget the builder makes.
  LoginLaunchToggle(const LabelBuilder& label, QWidget* parent = nullptr);
  // Labelled by the text of a key of the string table, in the program's language.
  LoginLaunchToggle(const LocalizedText::Key& key, QWidget* parent = nullptr);
  // Labelled by a text shown as given.
  LoginLaunchToggle(const QString& title, QWidget* parent = nullptr);

  LoginLaunchObservable& launchAtLogin() const { return *m_launchAtLogin; }
  QWidget* label() const { return m_label; }
  ToggleSwitch* toggle() const { return m_toggle; }

 private:
  struct Built {};
  LoginLaunchToggle(Built, QWidget* label, QWidget* parent);
  void refresh();

  LoginLaunchObservable* m_launchAtLogin;
  QWidget* m_label;
  ToggleSwitch* m_toggle;
};

}  // namespace tessra
