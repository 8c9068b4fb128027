// The settings window in each of the program's languages: every text of the string table it shows
// reads in that language. Plain texts are fixed at their first use, so each language needs a
// process of its own, which CTest gives every case.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/settings_view.h"
#include "Tessra/settings/settings_window.h"
#include "Tessra/storage/user_settings.h"

namespace tessra {
namespace {

// Every English text of the table, with the key it belongs to.
std::map<QString, QString> englishTexts() {
  std::map<QString, QString> keys;
  for (const auto& text : LocalizedText::plainTexts())
    keys.emplace(text.english.toString(), text.key.toString());
  for (const QStringView key : LocalizedText::keyedTexts())
    keys.emplace(key.toString(), key.toString());
  return keys;
}

// The texts a user can read in the window: labels, buttons, list rows, picker entries, field
// placeholders and the title.
QStringList shownTexts(QWidget& window) {
  QStringList texts{window.windowTitle()};
  for (QLabel* label : window.findChildren<QLabel*>())
    if (label->isVisibleTo(&window)) texts << label->text();
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
    if (button->isVisibleTo(&window)) texts << button->text();
  for (QLineEdit* field : window.findChildren<QLineEdit*>())
    if (field->isVisibleTo(&window)) texts << field->placeholderText();
  for (QComboBox* picker : window.findChildren<QComboBox*>())
    for (int i = 0; i < picker->count(); ++i) texts << picker->itemText(i);
  for (QListWidget* list : window.findChildren<QListWidget*>())
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  texts.removeAll(QString());
  return texts;
}

class SettingsWindowLanguageTest : public ::testing::TestWithParam<AppLanguage> {};

TEST_P(SettingsWindowLanguageTest, NoTranslatedTextReadsInEnglish) {
  UserSettings::shared().setValue(setting::appLanguage, GetParam());
  const QString code = QString::fromUtf8(rawValue(GetParam()));
  const auto bundle = LocalizedText::languageBundle();
  ASSERT_EQ(bundle->code(), code);
  const QString table = LocalizedText::kTableName.toString();
  if (LocalizedText::Settings::General::language() !=
      bundle->localizedString(QStringLiteral("Settings.General.language"), {}, table)) {
    GTEST_SKIP() << "the plain texts were made in another language earlier in this process";
  }

  SettingsWindow window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const std::map<QString, QString> english = englishTexts();
  for (const SettingsPage& section : SettingsPage::sidebar()) {
    for (const SettingsPage& page : section.children) {
      window.view()->select(page.name);
      SCOPED_TRACE(window.view()->selectedPage().id().toStdString());
      for (const QString& text : shownTexts(window)) {
        const auto found = english.find(text);
        if (found == english.end()) continue;
        // Some words read the same in a language ("Conversations" in French).
        EXPECT_EQ(bundle->localizedString(found->second, text, table), text)
            << "\"" << text.toStdString() << "\" is shown in English";
      }
      EXPECT_FALSE(shownTexts(window).contains(QStringLiteral("Record Shortcut")));
    }
  }
  UserSettings::shared().setValue(setting::appLanguage, AppLanguage::system);
}

INSTANTIATE_TEST_SUITE_P(Languages, SettingsWindowLanguageTest,
                         ::testing::Values(AppLanguage::german, AppLanguage::french,
                                           AppLanguage::japanese, AppLanguage::chineseSimplified,
                                           AppLanguage::brazilianPortuguese),
                         [](const auto& info) {
                           QString name = QString::fromUtf8(rawValue(info.param));
                           return name.remove(u'-').toStdString();
                         });

}  // namespace
}  // namespace tessra
