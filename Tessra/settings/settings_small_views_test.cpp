// The help section of the key form and the launch-at-login switch: their texts, and what their
// buttons do.
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "Tessra/settings/get_open_ai_key_view.h"
#include "Tessra/settings/login_launch.h"
#include "Tessra/settings/login_launch_toggle.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/small_views.h"
#include "testing/fake_opener.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

TEST(GetOpenAiKeyViewTest, ExplainsWhereKeysComeFromAndOpensTheKeysPage) {
  // Stands in for the desktop's opener: the real opener runs, nothing is launched.
  testing::FakeOpener browser;
  GetOpenAiKeyView view;
  EXPECT_EQ(view.instructionLabel()->text(),
            "To utilize the ChatGPT features, you will be redirected to the OpenAI website to "
            "sign up for an API key. On the site, choose \"Create new secret key\" and follow the "
            "provided steps to obtain your API key. Please ensure that your OpenAI API key is "
            "linked to a valid payment method, which is a requirement separate from holding a "
            "ChatGPT Plus subscription, to fully enable ChatGPT functionalities.");
  EXPECT_EQ(view.getKeyButton()->text(), "Get your API Key");
  view.getKeyButton()->click();
  ASSERT_EVENTUALLY(browser.opened().size() == 1, 5000);
  EXPECT_EQ(QUrl(QString::fromStdString(browser.opened().front())),
            QUrl(GetOpenAiKeyView::apiKeysPage()));
}

TEST(LoginLaunchToggleTest, EachInitialiserLabelsOneSwitchOverTheEntry) {
  testing::TempDir dir;
  testing::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  const struct {
    const char* name;
    std::function<LoginLaunch::Toggle*()> make;
    QString label;
  } cases[] = {
      {"no label given", [] { return new LoginLaunch::Toggle; }, "Launch at login"},
      {"a key of the string table",
       [] { return new LoginLaunch::Toggle(LocalizedText::Key{QStringLiteral("General.cancel")}); },
       "Cancel"},
      {"a text, shown as given even when it is a key",
       [] { return new LoginLaunch::Toggle(QStringLiteral("General.cancel")); }, "General.cancel"},
      {"a label of the caller's",
       [] {
         return new LoginLaunch::Toggle(
             [] { return new QLabel(QStringLiteral("🖥️ At login")); });
       },
       "🖥️ At login"},
  };
  std::vector<std::unique_ptr<LoginLaunch::Toggle>> toggles;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    toggles.emplace_back(c.make());
    auto* label = qobject_cast<QLabel*>(toggles.back()->label());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), c.label);
    EXPECT_EQ(&toggles.back()->launchAtLogin(), &LoginLaunch::observable());
    EXPECT_FALSE(toggles.back()->toggle()->isChecked());
  }

  // One switch writes the entry; every switch shows it.
  toggles.front()->toggle()->click();
  EXPECT_TRUE(std::filesystem::exists(LoginLaunch::entryPath()));
  for (const auto& toggle : toggles) EXPECT_TRUE(toggle->toggle()->isChecked());
  toggles.back()->toggle()->click();
  EXPECT_FALSE(LoginLaunch::isEnabled());
  for (const auto& toggle : toggles) EXPECT_FALSE(toggle->toggle()->isChecked());
}

}  // namespace
}  // namespace tessra
