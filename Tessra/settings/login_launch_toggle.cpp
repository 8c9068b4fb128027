#include "Tessra/settings/login_launch_toggle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

#include "Tessra/settings/login_launch.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "Tessra/ui_foundation/small_views.h"

namespace tessra {

LoginLaunchToggle::LoginLaunchToggle(QWidget* parent)
    : LoginLaunchToggle(LocalizedText::Key{QStringLiteral("Launch at login")}, parent) {}

LoginLaunchToggle::LoginLaunchToggle(const LabelBuilder& label, QWidget* parent)
    : LoginLaunchToggle(Built{}, label ? label() : nullptr, parent) {}

LoginLaunchToggle::LoginLaunchToggle(const LocalizedText::Key& key, QWidget* parent)
    : LoginLaunchToggle(Built{}, plainLabel(LocalizedText::forKey(key.text)), parent) {}

LoginLaunchToggle::LoginLaunchToggle(const QString& title, QWidget* parent)
    : LoginLaunchToggle(Built{}, plainLabel(title), parent) {}

LoginLaunchToggle::LoginLaunchToggle(Built, QWidget* label, QWidget* parent)
    : QWidget(parent),
      m_launchAtLogin(&LoginLaunch::observable()),
      m_label(label),
      m_toggle(new ToggleSwitch(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  if (m_label) row->addWidget(m_label);
  row->addStretch(1);
  row->addWidget(m_toggle);
  connect(m_toggle, &QAbstractButton::toggled, this, [this](bool on) {
    m_launchAtLogin->setEnabled(on);
    // The desktop may refuse: the switch shows what the entry says.
    refresh();
  });
  connect(m_launchAtLogin, &LoginLaunchObservable::isEnabledChanged, this,
          &LoginLaunchToggle::refresh);
  refresh();
}

void LoginLaunchToggle::refresh() {
  const QSignalBlocker blocker(m_toggle);
  m_toggle->setChecked(m_launchAtLogin->isEnabled());
  m_toggle->update();
}

}  // namespace tessra
