// The key form and the settings on a desktop without a keyring: a session bus of the test's own on
// which no Secret Service runs and none can be started. The process talks to that bus from its
// first keyring call on, so these cases live in a test program of their own.
#include <QLabel>
#include <QLineEdit>
#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/enter_api_key_view.h"
#include "Tessra/settings/settings_test_support.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "aiclient/ai_client.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

namespace fs = std::filesystem;
using testing::ScriptedResponse;

// A session bus that knows no service files, so nothing answers for the keyring.
class BusWithoutKeyring : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path config = m_folder / "bus.conf";
    std::ofstream(config)
        << "<busconfig><type>session</type><listen>unix:path=" << (m_folder / "bus").string()
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
           "</policy>"
           "</busconfig>";
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--nofork"),
                 QStringLiteral("--config-file=") + QString::fromStdString(config.string()),
                 QStringLiteral("--print-address=1")});
    ASSERT_TRUE(m_bus.waitForStarted(10000));
    ASSERT_TRUE(m_bus.waitForReadyRead(10000));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed().constData(), 1);
  }
  void TearDown() override {
    m_bus.kill();
    m_bus.waitForFinished(5000);
  }

 private:
  testing::TempDir m_folder;
  QProcess m_bus;
};

[[maybe_unused]] ::testing::Environment* const kBus =
    ::testing::AddGlobalTestEnvironment(new BusWithoutKeyring);

TEST(NoKeyringTest, TheKeyIsKeptForThisRunOnlyAndTheFormSaysSoBeforeItIsTyped) {
  constexpr const char* kKey = "sk-for-this-run-only";
  testing::HttpServer server;
  const testing::ScopedEnv baseUrl(aiclient::AIClient::kBaseUrlVariable, server.baseUrl());
  server.route("POST", "/v1/chat/completions",
               ScriptedResponse::json(200, settings_test::chatAnswer("Hi")));
  settings_test::SettingsHarness harness;
  UserSettings& settings = *harness.settings;
  ASSERT_TRUE(settings.loaded());
  EXPECT_FALSE(settings.keyringAvailable());

  int closes = 0;
  EnterApiKeyView form(false, settings);
  QObject::connect(&form, &EnterApiKeyView::closeRequested, [&] { ++closes; });
  form.show();
  EXPECT_EQ(form.noteLabel()->text(), LocalizedText::ApiKey::keptForThisRunOnly());
  form.keyField()->setText(QString::fromLatin1(kKey));
  form.confirmButton()->click();
  ASSERT_EVENTUALLY_EQ(closes, 1, 10000);
  EXPECT_FALSE(form.validationError().has_value());
  EXPECT_EQ(settings.openAiKey(), kKey) << "questions can be sent in this run";
  EXPECT_EQ(settings.keychainError(), LocalizedText::ApiKey::keptForThisRunOnly().toStdString());

  // The next run starts without it, and no file holds it instead.
  UserSettings next(harness.defaults, harness.keychain, harness.center, platform::mainQueue());
  ASSERT_EVENTUALLY(next.loaded(), 10000);
  EXPECT_EQ(next.openAiKey(), "");
  EXPECT_FALSE(testing::anyFileContains(harness.dir.path(), kKey));
  EXPECT_FALSE(testing::anyFileContains(storage_test::processHome(), kKey));
}

}  // namespace
}  // namespace tessra
