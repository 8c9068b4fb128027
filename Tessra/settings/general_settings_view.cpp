#include "Tessra/settings/general_settings_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

#include "Tessra/settings/form_support.h"
#include "Tessra/settings/login_launch.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/storage/settings_enums.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
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

template <class T, std::size_t N>
QStringList titles(const std::array<T, N>& cases) {
  QStringList list;
  for (const T value : cases) list << QString::fromStdString(title(value));
  return list;
}

template <class T>
QStringList titles(std::span<const T> cases) {
  QStringList list;
  for (const T value : cases) list << QString::fromStdString(title(value));
  return list;
}

template <class Range, class T>
int indexOf(const Range& cases, T value) {
  const auto found = std::find(cases.begin(), cases.end(), value);
  return found == cases.end() ? -1 : static_cast<int>(found - cases.begin());
}

// A picker as wide as its widest choice, measured once per program: the size depends only on the
// choices, the font and the style, the page is built anew at every visit, and measuring a flag of
// the language choices decodes the emoji font's picture of it each time.
class PickerComboBox final : public QComboBox {
 public:
  PickerComboBox(const QStringList& titles, QWidget* parent) : QComboBox(parent) {
    addItems(titles);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
  }

  QSize sizeHint() const override { return measured(false); }
  QSize minimumSizeHint() const override { return measured(true); }

 private:
  QSize measured(bool minimum) const {
    static QHash<QString, QSize> sizes;
    QString key = style()->name() + u'\n' + font().key() + u'\n' + (minimum ? u'm' : u'h');
    for (int i = 0; i < count(); ++i) key += u'\n' + itemText(i);
    const auto found = sizes.constFind(key);
    if (found != sizes.constEnd()) return *found;
    const QSize size = minimum ? QComboBox::minimumSizeHint() : QComboBox::sizeHint();
    sizes.insert(key, size);
    return size;
  }
};

}  // namespace

SettingsPickerView::SettingsPickerView(const QString& title, const QString& description,
                                       QStringList titles, std::function<int()> selected,
                                       std::function<void(int)> select, QWidget* parent)
    : QWidget(parent), m_selected(std::move(selected)), m_select(std::move(select)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  auto* labels = new QVBoxLayout;
  labels->setSpacing(2);
  labels->addWidget(plainLabel(title, this));
  if (!description.isEmpty()) {
    auto* second = plainLabel(description, this);
    second->setObjectName(QStringLiteral("description"));
    second->setWordWrap(true);
    styleText(second, palette::mutedText(), 12);
    labels->addWidget(second);
  }
  row->addLayout(labels, 1);
  m_picker = new PickerComboBox(titles, this);
  row->addWidget(m_picker, 0, Qt::AlignVCenter);
  connect(m_picker, &QComboBox::activated, this, [this](int index) {
    if (m_select) m_select(index);
    refresh();
  });
  refresh();
}

void SettingsPickerView::setUnlistedTitle(std::function<QString()> title) {
  m_unlistedTitle = std::move(title);
  refresh();
}

void SettingsPickerView::refresh() {
  const int index = m_selected ? m_selected() : -1;
  // Shown greyed while no choice is current, and never offered in the list.
  m_picker->setPlaceholderText(index < 0 && m_unlistedTitle ? m_unlistedTitle() : QString());
  if (m_picker->currentIndex() != index) m_picker->setCurrentIndex(index);
}

GeneralSettingsView::GeneralSettingsView(QWidget* parent)
    : GeneralSettingsView(UserSettings::shared(), QSystemTrayIcon::isSystemTrayAvailable(),
                          parent) {}

GeneralSettingsView::GeneralSettingsView(UserSettings& settings, bool trayAvailable,
                                         QWidget* parent)
    : QWidget(parent), m_settings(settings), m_trayAvailable(trayAvailable) {
  using Text = LocalizedText::Settings::General;
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(20, 20, 20, 20);
  page->setSpacing(6);

  QVBoxLayout* first = addSection(page, this);
  m_language = new SettingsPickerView(
      Text::language(), Text::languageDescription(), titles(kLanguages),
      [this] { return indexOf(kLanguages, m_settings.value(setting::appLanguage)); },
      [this](int index) {
        m_settings.setValue(setting::appLanguage, kLanguages[static_cast<std::size_t>(index)]);
      },
      this);
  m_language->setUnlistedTitle(
      [this] { return QString::fromStdString(title(m_settings.value(setting::appLanguage))); });
  first->addWidget(m_language);
  m_launchAtLogin = new SettingsToggleView(
      Text::launchAtLogin(),
      {[] { return LoginLaunch::isEnabled(); }, [](bool on) { LoginLaunch::setEnabled(on); }},
      this);
  first->addWidget(m_launchAtLogin);
  m_menuBar = new SettingsToggleView(
      Text::showInMenuBar(),
      {[this] { return m_settings.value(setting::menuBarVisible); },
       [this](bool on) { m_settings.setValue(setting::menuBarVisible, on); }},
      this);
  first->addWidget(m_menuBar);
  m_overlayIcon = new SettingsToggleView(
      Text::showOverlayIcon(),
      {[this] { return m_settings.value(setting::overlayIconVisible); },
       [this](bool on) { m_settings.setValue(setting::overlayIconVisible, on); }},
      this);
  first->addWidget(m_overlayIcon);
  m_sound = new SettingsToggleView(
      Text::soundEffects(),
      {[this] { return m_settings.value(setting::soundEffectEnabled); },
       [this](bool on) { m_settings.setValue(setting::soundEffectEnabled, on); }},
      this);
  first->addWidget(m_sound);

  QVBoxLayout* shortcuts = addSection(page, this, Text::shortcutsHeader());
  // The recorder's own texts read in the program's language, like the rest of the page.
  shortcuts::setRecorderLanguage(
      QString::fromStdString(m_settings.chosenLanguageCode().value_or(std::string())));
  // The recorder stores a new shortcut at once, and the global hot key follows it.
  m_shortcut = new shortcuts::Recorder(Text::openTessra(), openTessraGlobal(), this);
  shortcuts->addWidget(m_shortcut);

  QVBoxLayout* appearance = addSection(page, this, Text::appearanceHeader());
  m_position = new SettingsPickerView(
      Text::position(), {}, titles(kPositions),
      [this] { return indexOf(kPositions, m_settings.value(setting::popupPosition)); },
      [this](int index) {
        m_settings.setValue(setting::popupPosition, kPositions[static_cast<std::size_t>(index)]);
      },
      this);
  m_position->setUnlistedTitle(
      [this] { return QString::fromStdString(title(m_settings.value(setting::popupPosition))); });
  m_size = new SettingsPickerView(
      Text::size(), {}, titles(allFloatingWindowSizes()),
      [this] {
        return indexOf(allFloatingWindowSizes(), m_settings.value(setting::floatingWindowSize));
      },
      [this](int index) {
        m_settings.setValue(setting::floatingWindowSize,
                            allFloatingWindowSizes()[static_cast<std::size_t>(index)]);
      },
      this);
  m_padding = new SettingsPickerView(
      Text::verticalPadding(), {}, titles(allFloatingWindowPaddings()),
      [this] {
        return indexOf(allFloatingWindowPaddings(), m_settings.value(setting::popupPadding));
      },
      [this](int index) {
        m_settings.setValue(setting::popupPadding,
                            allFloatingWindowPaddings()[static_cast<std::size_t>(index)]);
      },
      this);
  appearance->addWidget(m_position);
  appearance->addWidget(m_size);
  appearance->addWidget(m_padding);
  page->addStretch(1);

  // Changes made elsewhere (the tray, another switch's side effects) show at once.
  connect(&m_settings, &UserSettings::valueChanged, this, &GeneralSettingsView::refresh);
  connect(&LoginLaunch::observable(), &LoginLaunch::Observable::isEnabledChanged, this,
          &GeneralSettingsView::refresh);
  refresh();
}

void GeneralSettingsView::refresh() {
  for (SettingsToggleView* row : {m_launchAtLogin, m_menuBar, m_overlayIcon, m_sound})
    row->refresh();
  for (SettingsPickerView* row : {m_language, m_position, m_size, m_padding}) row->refresh();
  // One way to the panel must stay: without the tray icon (or a tray to show it) the side
  // button is on, so its switch is not offered.
  m_overlayIcon->setVisible(m_trayAvailable && m_settings.value(setting::menuBarVisible));
}

}  // namespace tessra
