#include "Tessra/settings/settings_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/about_settings_view.h"
#include "Tessra/settings/enter_api_key_view.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/settings/general_settings_view.h"
#include "Tessra/settings/login_launch.h"
#include "Tessra/settings/open_ai_settings_view.h"
#include "Tessra/settings/settings_installation.h"
#include "Tessra/settings/settings_test_support.h"
#include "Tessra/settings/settings_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/open_tessra_global.h"
#include "Tessra/shell/window_utilities.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/small_views.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "shortcuts/recorder.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"

namespace tessra {
namespace {

std::vector<SettingsWindow*> settingsWindows() {
  std::vector<SettingsWindow*> found;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<SettingsWindow*>(widget); window && window->isVisible())
      found.push_back(window);
  return found;
}

// The General page's row bound to `setting`, found by its name.
template <class Row, class T>
Row* row(const GeneralSettingsView& page, const Setting<T>& setting) {
  return page.findChild<Row*>(settingRowName(setting.key));
}

SettingsToggleView* launchAtLoginRow(const GeneralSettingsView& page) {
  return page.findChild<SettingsToggleView*>(GeneralSettingsView::kLaunchAtLoginRow);
}

void closeAll() {
  for (SettingsWindow* window : settingsWindows()) window->close();
  // What the closes posted (a window counted down, a window deleted) is done before the next test.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(SettingsPageTest, TheSidebarHasThreeGroups) {
  QStringList rows;
  const auto& sections = SettingsPage::sidebar();
  ASSERT_EQ(sections.size(), 3u);
  for (const SettingsPage& section : sections) {
    EXPECT_FALSE(section.icon.has_value());
    rows << (section.showName ? section.id() : QString("-"));
    for (const SettingsPage& page : section.children) {
      EXPECT_TRUE(page.icon.has_value());
      rows << page.id();
    }
  }
  EXPECT_EQ(rows, (QStringList{"-", "General", "Models Settings", "OpenAI", "Anthropic", "Mistral",
                               "-", "About"}));
  EXPECT_EQ(settingsPageNameFromRawValue("Open Source"), SettingsPage::Name::openSource);
  EXPECT_EQ(settingsPageNameFromRawValue("open source"), std::nullopt);
}

TEST(SettingsWindowTest, OneWindowWhichStartsOnGeneralAndNamesItsPage) {
  closeAll();
  SettingsWindow::registerWindow();
  const int counted = openDockWindowCount();
  showSettingsWindow();
  SettingsWindow* window = SettingsWindow::current();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(openDockWindowCount(), counted + 1);
  EXPECT_EQ(window->objectName(), "settings");
  EXPECT_EQ(window->size(), QSize(716, 522));
  EXPECT_EQ(window->windowTitle(), "General");
  EXPECT_NE(qobject_cast<GeneralSettingsView*>(window->view()->currentDetail()), nullptr);
  // Centred in the available area of its screen, its origin included.
  const QRect available = window->screen()->availableGeometry();
  EXPECT_EQ(window->pos(), QPoint(available.x() + (available.width() - 716) / 2,
                                  available.y() + (available.height() - 522) / 2));

  const struct {
    SettingsPage::Name page;
    const char* title;
    const char* content;
  } pages[] = {
      {SettingsPage::Name::openAi, "OpenAI", "tessra::OpenAiSettingsView"},
      {SettingsPage::Name::anthropic, "Anthropic", "tessra::SettingsUnimplementedView"},
      {SettingsPage::Name::mistral, "Mistral", "tessra::SettingsUnimplementedView"},
      {SettingsPage::Name::about, "About", "tessra::AboutSettingsView"},
  };
  EXPECT_EQ(testing::labelsGuessingTheirFormat(*window), std::vector<std::string>{});
  for (const auto& p : pages) {
    window->view()->select(p.page);
    EXPECT_EQ(window->windowTitle(), p.title);
    EXPECT_STREQ(window->view()->currentDetail()->metaObject()->className(), p.content);
    EXPECT_EQ(testing::labelsGuessingTheirFormat(*window), std::vector<std::string>{}) << p.title;
  }
  // Asked for again, the open one comes back and no second one is made.
  showSettingsWindow();
  EXPECT_EQ(SettingsWindow::current(), window);
  EXPECT_EQ(settingsWindows().size(), 1u);
  // A section header cannot be selected: the page stays.
  const auto headers = window->view()->sidebar()->findItems("Models Settings", Qt::MatchExactly);
  ASSERT_EQ(headers.size(), 1);
  window->view()->sidebar()->setCurrentItem(headers.front());
  EXPECT_EQ(window->windowTitle(), "About");
  EXPECT_EQ(window->view()->sidebar()->currentItem()->text(), "About");

  closeAll();
  EXPECT_EQ(SettingsWindow::current(), nullptr);
  EXPECT_EQ(openDockWindowCount(), counted);
  showSettingsWindow();
  EXPECT_EQ(SettingsWindow::current()->windowTitle(), "General");
  closeAll();
}

TEST(SettingsWindowTest, EveryPageIsAsHighAsItsContentAndScrollsOnlyWhenItMust) {
  closeAll();
  SettingsWindow::registerWindow();
  showSettingsWindow();
  SettingsWindow* window = SettingsWindow::current();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  auto* detail = window->view()->findChild<QScrollArea*>(QStringLiteral("detail"));
  ASSERT_NE(detail, nullptr);
  for (const SettingsPage::Name name : {SettingsPage::Name::general, SettingsPage::Name::openAi,
                                        SettingsPage::Name::anthropic, SettingsPage::Name::about}) {
    window->view()->select(name);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    SCOPED_TRACE(window->windowTitle().toStdString());
    const QWidget* page = detail->widget();
    const QSize viewport = detail->viewport()->size();
    const int needed = page->hasHeightForWidth() ? page->heightForWidth(viewport.width())
                                                 : page->minimumSizeHint().height();
    EXPECT_EQ(page->height(), std::max(viewport.height(), needed)) << "no empty stretch below";
    EXPECT_EQ(detail->verticalScrollBar()->isVisible(), needed > viewport.height());
  }
  closeAll();
}

class GeneralSettingsViewTest : public ::testing::Test {
 protected:
  GeneralSettingsViewTest() {
    for (const auto name : notification_names::all())
      m_tokens.push_back(m_harness.center.addObserver(
          std::string(name),
          [this](const platform::Notification& n) { m_posted.push_back(n.name); }));
  }
  settings_test::SettingsHarness m_harness;
  std::vector<platform::NotificationCenter::ObserverToken> m_tokens;
  std::vector<std::string> m_posted;
  testing::TempDir m_dir;
  testing::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").string()};
};

TEST_F(GeneralSettingsViewTest, EachControlWritesItsKeyAndPostsOnce) {
  GeneralSettingsView page(*m_harness.settings, true);
  page.show();
  auto& defaults = m_harness.defaults;
  const auto pick = [](SettingsPickerView* row, int index) {
    row->picker()->setCurrentIndex(index);
    emit row->picker()->activated(index);
  };
  const struct {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> posted;
    std::function<bool()> stored;
  } cases[] = {
      {"language",
       [&] { pick(row<SettingsPickerView>(page, setting::appLanguage), 2); },
       {"appLanguageChanged"},
       [&] { return defaults.string(setting::appLanguage.key) == "pt-BR"; }},
      {"the same language",
       [&] { pick(row<SettingsPickerView>(page, setting::appLanguage), 2); },
       {},
       [&] { return defaults.string(setting::appLanguage.key) == "pt-BR"; }},
      {"sound",
       [&] { row<SettingsToggleView>(page, setting::soundEffectEnabled)->toggle()->click(); },
       {},
       [&] { return defaults.integer(setting::soundEffectEnabled.key) == 1; }},
      {"side icon",
       [&] { row<SettingsToggleView>(page, setting::overlayIconVisible)->toggle()->click(); },
       {"overlayVisibilityChanged"},
       [&] { return defaults.integer(setting::overlayIconVisible.key) == 1; }},
      {"position",
       [&] { pick(row<SettingsPickerView>(page, setting::popupPosition), 0); },
       {"floatingWindowPositionDidChanged"},
       [&] { return defaults.integer(setting::popupPosition.key) == 1; }},
      {"size",
       [&] { pick(row<SettingsPickerView>(page, setting::floatingWindowSize), 5); },
       {"floatingWindowSizeDidChanged"},
       [&] { return defaults.integer(setting::floatingWindowSize.key) == 5; }},
      {"padding",
       [&] { pick(row<SettingsPickerView>(page, setting::popupPadding), 1); },
       {"floatingWindowSizeDidChanged"},
       [&] { return defaults.integer(setting::popupPadding.key) == 1; }},
      {"tray off",
       [&] { row<SettingsToggleView>(page, setting::menuBarVisible)->toggle()->click(); },
       {"overlayVisibilityChanged", "menuBarVisibilityChanged"},
       [&] {
         return defaults.integer(setting::menuBarVisible.key) == 1 &&
                defaults.integer(setting::overlayIconVisible.key) == 0;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_posted.clear();
    c.act();
    EXPECT_EQ(m_posted, c.posted);
    EXPECT_TRUE(c.stored());
  }
  // Tray off forced the side icon on and took its switch away.
  EXPECT_TRUE(m_harness.settings->value(setting::overlayIconVisible));
  EXPECT_FALSE(row<SettingsToggleView>(page, setting::overlayIconVisible)->isVisible());
  EXPECT_TRUE(row<SettingsToggleView>(page, setting::menuBarVisible)->isVisible());
}

TEST_F(GeneralSettingsViewTest, RowsShowChangesMadeElsewhere) {
  GeneralSettingsView page(*m_harness.settings, true);
  page.show();
  UserSettings& settings = *m_harness.settings;
  auto* menuBar = row<SettingsToggleView>(page, setting::menuBarVisible);
  auto* overlayIcon = row<SettingsToggleView>(page, setting::overlayIconVisible);
  auto* size = row<SettingsPickerView>(page, setting::floatingWindowSize);
  auto* position = row<SettingsPickerView>(page, setting::popupPosition);

  settings.setValue(setting::soundEffectEnabled, false);
  settings.setValue(setting::overlayIconVisible, false);
  settings.setValue(setting::floatingWindowSize, FloatingWindowSize::large);
  settings.setValue(setting::popupPosition, PopupPosition::bottom);
  EXPECT_FALSE(row<SettingsToggleView>(page, setting::soundEffectEnabled)->toggle()->isChecked());
  EXPECT_FALSE(overlayIcon->toggle()->isChecked());
  EXPECT_EQ(size->picker()->currentText(), "Large - 800px");
  EXPECT_EQ(position->picker()->currentIndex(), -1);
  EXPECT_EQ(position->picker()->placeholderText(), "Bottom");

  // The tray icon hidden elsewhere: the side button comes on, and its switch goes.
  settings.setValue(setting::menuBarVisible, false);
  EXPECT_FALSE(menuBar->toggle()->isChecked());
  EXPECT_TRUE(overlayIcon->toggle()->isChecked());
  EXPECT_FALSE(overlayIcon->isVisible());
  settings.setValue(setting::menuBarVisible, true);
  EXPECT_TRUE(menuBar->toggle()->isChecked());
  EXPECT_TRUE(overlayIcon->isVisible());
}

TEST_F(GeneralSettingsViewTest, PickersOfferTheirChoicesInOrder) {
  ASSERT_TRUE(setting::popupPosition.write(PopupPosition::top, m_harness.defaults));
  ASSERT_TRUE(setting::appLanguage.write(AppLanguage::german, m_harness.defaults));
  UserSettings settings(m_harness.defaults, m_harness.keychain, m_harness.center,
                        platform::mainQueue());
  GeneralSettingsView page(settings, true);
  const auto items = [](SettingsPickerView* row) {
    QStringList texts;
    for (int i = 0; i < row->picker()->count(); ++i) texts << row->picker()->itemText(i);
    return texts;
  };
  auto* language = row<SettingsPickerView>(page, setting::appLanguage);
  auto* position = row<SettingsPickerView>(page, setting::popupPosition);
  auto* size = row<SettingsPickerView>(page, setting::floatingWindowSize);
  auto* padding = row<SettingsPickerView>(page, setting::popupPadding);
  EXPECT_EQ(items(language),
            (QStringList{"System Default 🌐", "English 🇺🇸", "Português (Brasil) 🇧🇷"}));
  EXPECT_EQ(items(position), (QStringList{"Left", "Right"}));
  EXPECT_EQ(items(size).first(), "Extra Small - 500px");
  EXPECT_EQ(items(size).last(), "Ultra Wide - 1000px");
  EXPECT_EQ(items(padding), (QStringList{"None", "16px", "32px", "48px", "64px", "128px"}));
  // A stored top edge and a stored German match no choice: both stay stored and in force, and
  // their pickers show them until another choice is made.
  const struct {
    SettingsPickerView* row;
    const char* shown;
  } unlisted[] = {{position, "Top"}, {language, "Deutsch (Deutschland) 🇩🇪"}};
  for (const auto& c : unlisted) {
    EXPECT_EQ(c.row->picker()->currentIndex(), -1) << c.shown;
    EXPECT_EQ(c.row->picker()->currentText(), "") << c.shown;
    EXPECT_EQ(c.row->picker()->placeholderText(), QString::fromUtf8(c.shown));
  }
  EXPECT_EQ(setting::popupPosition.read(m_harness.defaults), PopupPosition::top);
  EXPECT_EQ(setting::appLanguage.read(m_harness.defaults), AppLanguage::german);
  EXPECT_EQ(settings.chosenLanguageCode(), "de");

  language->picker()->setCurrentIndex(1);
  emit language->picker()->activated(1);
  EXPECT_EQ(setting::appLanguage.read(m_harness.defaults), AppLanguage::english);
  EXPECT_EQ(language->picker()->placeholderText(), "");
  EXPECT_EQ(language->picker()->currentText(), "English 🇺🇸");
}

TEST_F(GeneralSettingsViewTest, TheShortcutRecorderReadsTheProgramsLanguage) {
  // An English system, whatever language the program is set to.
  const QLocale system;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const struct {
    AppLanguage language;
    const char* placeholder;
  } cases[] = {
      {AppLanguage::system, "Record Shortcut"},
      {AppLanguage::german, "Kurzbefehl aufnehmen"},
      {AppLanguage::japanese, "ショートカットを記録"},
      {AppLanguage::chineseSimplified, "录制快捷键"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(rawValue(c.language)));
    m_harness.settings->setValue(setting::appLanguage, c.language);
    GeneralSettingsView page(*m_harness.settings, true);
    EXPECT_EQ(page.findChild<shortcuts::Recorder*>()->field()->placeholderText(),
              QString::fromUtf8(c.placeholder));
  }
  m_harness.settings->setValue(setting::appLanguage, AppLanguage::system);
  QLocale::setDefault(system);
}

TEST_F(GeneralSettingsViewTest, ARecorderTitledByKeyReadsTheProgramsTable) {
  installSettings();
  const shortcuts::Recorder recorder(
      shortcuts::Recorder::TitleKey{QStringLiteral("Settings.General.openTessra")},
      openTessraGlobal());
  EXPECT_EQ(static_cast<QLabel*>(recorder.label())->text(), "Open Tessra");
  shortcuts::Recorder::setStringTable({});
}

TEST_F(GeneralSettingsViewTest, WithoutATrayHostTheSideIconRowIsHidden) {
  GeneralSettingsView page(*m_harness.settings, false);
  page.show();
  EXPECT_TRUE(m_harness.settings->value(setting::menuBarVisible));
  EXPECT_FALSE(row<SettingsToggleView>(page, setting::overlayIconVisible)->isVisible());
}

TEST_F(GeneralSettingsViewTest, LaunchAtLoginFollowsTheEntry) {
  GeneralSettingsView page(*m_harness.settings, true);
  page.show();
  EXPECT_FALSE(launchAtLoginRow(page)->toggle()->isChecked());
  launchAtLoginRow(page)->toggle()->click();
  EXPECT_TRUE(LoginLaunch::isEnabled());
  EXPECT_TRUE(launchAtLoginRow(page)->toggle()->isChecked());
  launchAtLoginRow(page)->toggle()->click();
  EXPECT_FALSE(LoginLaunch::isEnabled());

  // A file where the entry's folder belongs, so no entry can be written: the switch falls back
  // off.
  std::filesystem::remove_all(m_dir / "config" / "autostart");
  m_dir.write("config/autostart", "");
  launchAtLoginRow(page)->toggle()->click();
  EXPECT_FALSE(launchAtLoginRow(page)->toggle()->isChecked());
}

TEST(OpenAiSettingsViewTest, MasksKeys) {
  const struct {
    QString key;
    QString shown;
  } cases[] = {
      {"", ""},
      {"sk-1234", "sk-1234"},
      {"sk-12345", "sk-*2345"},
      {"sk-" + QString(44, 'a') + "WXYZ", "sk-" + QString(44, '*') + "WXYZ"},
      {"ab🔑cdefgh", "ab🔑**efgh"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OpenAiSettingsView::maskedApiKey(c.key), c.shown) << c.key.toStdString();
  EXPECT_EQ(OpenAiSettingsView::maskedApiKey("sk-" + QString(44, 'a') + "WXYZ").size(), 51);
}

TEST(OpenAiSettingsViewTest, FollowsTheKeyAndStoresPickedModels) {
  settings_test::SettingsHarness harness;
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt4vision, harness.defaults));
  OpenAiSettingsView page(*harness.settings);
  page.show();
  EXPECT_EQ(page.keyLabel()->text(), "");
  for (ModelRow* row : page.modelRows()) EXPECT_FALSE(row->isSelected());
  EXPECT_EQ(page.modelRows().size(), 5u);

  harness.settings->setOpenAiKey("sk-abcdefgh");
  EXPECT_EQ(page.keyLabel()->text(), "sk-****efgh");
  page.modelRows()[1]->click();
  EXPECT_EQ(setting::openAiModel.read(harness.defaults), ChatGPTModels::gpt4turbo);
  EXPECT_TRUE(page.modelRows()[1]->isSelected());

  page.updateButton()->click();
  ASSERT_NE(page.keySheet(), nullptr);
  EXPECT_TRUE(page.keySheet()->isModal() || page.keySheet()->windowModality() != Qt::NonModal);
  // Out of the title bar, which stays in sight.
  const QRect window = page.geometry();
  EXPECT_EQ(page.keySheet()->pos(),
            QPoint(window.x() + (window.width() - page.keySheet()->width()) / 2, window.y()));
  auto* form = page.keySheet()->findChild<EnterApiKeyView*>();
  ASSERT_NE(form, nullptr);
  // Return in the key field tries the key and leaves the form open with what it found.
  form->keyField()->setText(QStringLiteral("too short"));
  QTest::keyClick(form->keyField(), Qt::Key_Return);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_NE(page.keySheet(), nullptr);
  EXPECT_TRUE(page.keySheet()->isVisible());
  EXPECT_EQ(form->validationError(), LocalizedText::ApiKey::validationErrorLength());
  form->cancelButton()->click();
  ASSERT_EVENTUALLY(page.keySheet() == nullptr, 5000);
  EXPECT_EQ(page.keyLabel()->text(), "sk-****efgh");
}

TEST(OpenAiSettingsViewTest, ShowsTheKeyringsComplaint) {
  settings_test::SettingsHarness harness;
  const keychain::Keychain refusing = harness.keychain.accessibility(
      keychain::Accessibility::whenUnlocked, keychain::AuthenticationPolicy::userPresence());
  UserSettings settings(harness.defaults, refusing, harness.center, platform::mainQueue());
  ASSERT_EVENTUALLY(settings.loaded(), 5000);
  OpenAiSettingsView page(settings);
  page.show();
  EXPECT_FALSE(page.keychainErrorLabel()->isVisible());
  settings.setOpenAiKey("sk-refused-by-keyring");
  ASSERT_EVENTUALLY(page.keychainErrorLabel()->isVisible(), 10000);
  EXPECT_EQ(page.keychainErrorLabel()->text().toStdString(), *settings.keychainError());
}

// An updater as the shell offers one: whether it can check, announced when it changes.
class TestUpdater : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

 public:
  bool canCheckForUpdates() const { return m_can; }
  void setCanCheck(bool can) {
    m_can = can;
    emit canCheckForUpdatesChanged(can);
  }
  int checks = 0;

 public slots:
  void checkForUpdates() { ++checks; }

 signals:
  void canCheckForUpdatesChanged(bool can);

 private:
  bool m_can = false;
};

TEST(AboutSettingsViewTest, TheButtonFollowsTheUpdaterWhileShown) {
  TestUpdater updater;
  AboutSettingsView page(&updater, "1.2.3", "45");
  page.show();
  EXPECT_EQ(page.versionLabel()->text(), "1.2.3");
  EXPECT_EQ(page.buildLabel()->text(), "45");
  EXPECT_FALSE(page.checkForUpdatesButton()->isEnabled());
  updater.setCanCheck(true);
  EXPECT_TRUE(page.checkForUpdatesButton()->isEnabled());
  page.checkForUpdatesButton()->click();
  EXPECT_EQ(updater.checks, 1);
  updater.setCanCheck(false);
  EXPECT_FALSE(page.checkForUpdatesButton()->isEnabled());

  AboutSettingsView withoutUpdater(nullptr, "1.2.3", "45");
  EXPECT_FALSE(withoutUpdater.checkForUpdatesButton()->isEnabled());
}

}  // namespace
}  // namespace tessra

#include "settings_window_test.moc"
