#include "Tessra/settings/enter_api_key_view.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Tessra/settings/settings_test_support.h"
#include "Tessra/storage/settings_table.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "aiclient/ai_client.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"

namespace tessra {
namespace {

using testing::HttpServer;
using testing::ScriptedResponse;
using namespace std::chrono_literals;

constexpr const char* kPath = "/v1/chat/completions";

class EnterApiKeyViewTest : public ::testing::Test {
 protected:
  std::unique_ptr<EnterApiKeyView> makeForm(bool isEditing = false) {
    auto form = std::make_unique<EnterApiKeyView>(isEditing, *m_harness.settings);
    QObject::connect(form.get(), &EnterApiKeyView::closeRequested, [this] { ++m_closes; });
    form->show();
    return form;
  }
  size_t requests() const { return m_server.requestCount(); }

  HttpServer m_server;
  testing::ScopedEnv m_baseUrl{aiclient::AIClient::kBaseUrlVariable, m_server.baseUrl()};
  settings_test::SettingsHarness m_harness;
  int m_closes = 0;
};

TEST_F(EnterApiKeyViewTest, KeysOutsideTenToHundredCharactersAreNotSent) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, settings_test::chatAnswer("Hi")));
  const struct {
    const char* name;
    QString typed;
    bool accepted;
  } cases[] = {
      {"empty", "", false},
      {"blanks", "   \t ", false},
      {"9", QString(9, 'k'), false},
      {"9 padded", "  " + QString(9, 'k') + "\n ", false},
      {"101", QString(101, 'k'), false},
      {"9 emoji of two code units each", QString("🔑").repeated(9), false},
      {"10", QString(10, 'a'), true},
      {"100 padded", " " + QString(100, 'b') + " ", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = requests();
    auto form = makeForm();
    form->keyField()->setText(c.typed);
    QTest::keyClick(form->keyField(), Qt::Key_Return);
    if (!c.accepted) {
      ASSERT_TRUE(form->validationError().has_value());
      EXPECT_EQ(*form->validationError(),
                "The API Key provided does not meet the required length.");
      EXPECT_TRUE(form->errorLabel()->isVisible());
      EXPECT_FALSE(form->isLoading());
      EXPECT_EQ(requests(), before);
      // Typing hides the line again.
      QTest::keyClicks(form->keyField(), "x");
      EXPECT_FALSE(form->validationError().has_value());
      EXPECT_FALSE(form->errorLabel()->isVisible());
      continue;
    }
    ASSERT_EVENTUALLY(!form->isLoading(), 10000);
    EXPECT_EQ(requests(), before + 1);
    EXPECT_FALSE(form->validationError().has_value());
  }
}

TEST_F(EnterApiKeyViewTest, AnAnsweredKeyIsStoredTrimmedWithTheModelAndCloses) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, settings_test::chatAnswer("Hello!")));
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt4, m_harness.defaults));
  auto form = makeForm();
  EXPECT_EQ(form->modelPicker()->currentText(), "GPT-4");
  form->modelPicker()->setCurrentIndex(1);
  emit form->modelPicker()->activated(1);  // as a user's pick
  form->keyField()->setText("  sk-accepted-key-123 \n");
  form->confirmButton()->click();
  EXPECT_TRUE(form->busyOverlay()->isVisible());
  ASSERT_EVENTUALLY_EQ(m_closes, 1, 10000);

  ASSERT_EQ(requests(), 1u);
  const auto request = *m_server.waitForRequest(0);
  EXPECT_EQ(request.header("Authorization"), "Bearer sk-accepted-key-123");
  const auto body = nlohmann::json::parse(request.body);
  EXPECT_EQ(body["model"], "gpt-4-turbo-preview");
  EXPECT_EQ(body["messages"].back()["content"], "Hello");
  EXPECT_EQ(m_harness.storedKey(), "sk-accepted-key-123");
  EXPECT_EQ(m_harness.settings->openAiKey(), "sk-accepted-key-123");
  EXPECT_EQ(setting::openAiModel.read(m_harness.defaults), ChatGPTModels::gpt4turbo);
}

TEST_F(EnterApiKeyViewTest, ARefusedTestShowsWhyAndStoresNothing) {
  const struct {
    const char* name;
    ScriptedResponse answer;
    const char* shown;
  } cases[] = {
      {"401 envelope",
       ScriptedResponse::json(401, settings_test::errorEnvelope("Incorrect API key <b>sk-r</b>.")),
       "Incorrect API key <b>sk-r</b>."},
      {"no choices", ScriptedResponse::json(200, settings_test::emptyChatAnswer()),
       "Invalid response"},
  };
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt35, m_harness.defaults));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_server.route("POST", kPath, c.answer);
    auto form = makeForm();
    form->modelPicker()->setCurrentIndex(0);
    emit form->modelPicker()->activated(0);
    form->keyField()->setText("sk-refused-key-1");
    form->confirmButton()->click();
    ASSERT_EVENTUALLY(!form->isLoading(), 10000);
    ASSERT_TRUE(form->validationError().has_value());
    EXPECT_EQ(*form->validationError(), c.shown);
    EXPECT_EQ(testing::labelsGuessingTheirFormat(*form), std::vector<std::string>{});
    EXPECT_EQ(form->keyField()->text(), "sk-refused-key-1");
    EXPECT_EQ(m_closes, 0);
    EXPECT_EQ(m_harness.storedKey(), std::nullopt);
    EXPECT_EQ(setting::openAiModel.read(m_harness.defaults), ChatGPTModels::gpt35);
  }
}

TEST_F(EnterApiKeyViewTest, ARefusalIsReadWholeAndALongOneScrolls) {
  std::string endless = "Incorrect API key provided: sk-refused. ";
  for (int i = 0; i < 12; ++i) endless += "You can find your API key at the service's key page. ";
  const struct {
    const char* name;
    std::string message;
    bool scrolls;
  } cases[] = {
      {"the service's 401",
       "Incorrect API key provided: sk-refu*****ey-1. You can find your API key at "
       "https://platform.openai.com/account/api-keys.",
       false},
      {"a message of many lines", endless, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_server.route("POST", kPath,
                   ScriptedResponse::json(401, settings_test::errorEnvelope(c.message)));
    auto form = makeForm();
    form->keyField()->setText("sk-refused-key-1");
    form->confirmButton()->click();
    ASSERT_EVENTUALLY(!form->isLoading(), 10000);
    const QLabel* label = form->errorLabel();
    const QScrollArea* area = form->errorArea();
    ASSERT_TRUE(area->isVisible());
    EXPECT_EQ(label->text().toStdString(), c.message) << "nothing cut";
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "no line clipped";
    EXPECT_EQ(area->verticalScrollBar()->maximum() > 0, c.scrolls);
    EXPECT_GE(area->viewport()->height() + area->verticalScrollBar()->maximum(), label->height())
        << "every line can be scrolled to";
    EXPECT_TRUE(form->rect().contains(form->cancelButton()->geometry().translated(
        form->cancelButton()->parentWidget()->mapTo(form.get(), QPoint(0, 0)))))
        << "the buttons stay on the form";
  }
}

TEST_F(EnterApiKeyViewTest, QuickReturnsSendOneRequestAndTheGuiStaysLive) {
  m_server.route(
      "POST", kPath,
      ScriptedResponse::streamed({{settings_test::chatAnswer("late"), 600ms}}, "application/json"));
  auto form = makeForm();
  form->keyField()->setText("sk-slow-key-0001");
  for (int i = 0; i < 3; ++i) QTest::keyClick(form->keyField(), Qt::Key_Return);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(20);
  ASSERT_EVENTUALLY_EQ(m_closes, 1, 10000);
  EXPECT_GE(ticks, 10);  // the event loop ran while the answer was on its way
  EXPECT_EQ(requests(), 1u);
}

TEST_F(EnterApiKeyViewTest, AnAnswerAfterTheFormClosedStoresNothing) {
  m_server.route(
      "POST", kPath,
      ScriptedResponse::streamed({{settings_test::chatAnswer("late"), 400ms}}, "application/json"));
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroyed" : "hidden");
    const size_t before = requests();
    auto form = makeForm();
    form->keyField()->setText("sk-closed-key-01");
    form->confirmButton()->click();
    ASSERT_TRUE(m_server.waitForRequest(before).has_value());
    if (destroy) {
      form.reset();
    } else {
      form->hide();
    }
    // A check that nothing happens: long enough for the answer to arrive and be handled.
    QTest::qWait(900);
    EXPECT_EQ(m_harness.storedKey(), std::nullopt);
    EXPECT_EQ(m_harness.settings->openAiKey(), "");
    EXPECT_EQ(m_closes, 0);
  }
}

TEST_F(EnterApiKeyViewTest, ARefusingKeyringKeepsTheFormOpenWithItsMessage) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, settings_test::chatAnswer("Hi")));
  // Access control has no meaning on the login keyring: storing with it is refused.
  const keychain::Keychain refusing = m_harness.keychain.accessibility(
      keychain::Accessibility::whenUnlocked, keychain::AuthenticationPolicy::userPresence());
  UserSettings settings(m_harness.defaults, refusing, m_harness.center, platform::mainQueue());
  ASSERT_EVENTUALLY(settings.loaded(), 10000);
  EnterApiKeyView form(false, settings);
  QObject::connect(&form, &EnterApiKeyView::closeRequested, [this] { ++m_closes; });
  form.show();
  form.keyField()->setText("sk-not-kept-0001");
  form.confirmButton()->click();
  ASSERT_EVENTUALLY(!form.isLoading(), 10000);
  ASSERT_TRUE(settings.keychainError().has_value());
  ASSERT_TRUE(form.validationError().has_value());
  EXPECT_EQ(form.validationError()->toStdString(), *settings.keychainError());
  EXPECT_EQ(m_closes, 0);
}

TEST_F(EnterApiKeyViewTest, CancelAndReturnOnCancelStoreNothing) {
  auto form = makeForm(true);
  EXPECT_EQ(form->confirmButton()->text(), "Update");
  form->keyField()->setText("sk-cancelled-key");
  QTest::keyClick(form->cancelButton(), Qt::Key_Return);
  EXPECT_EQ(m_closes, 1);
  form->cancelButton()->click();
  EXPECT_EQ(m_closes, 2);
  EXPECT_EQ(requests(), 0u);
  EXPECT_EQ(m_harness.storedKey(), std::nullopt);
  EXPECT_FALSE(m_harness.defaults.object(setting::openAiModel.key).has_value());
}

TEST_F(EnterApiKeyViewTest, AStoredVisionModelSelectsNoRowAndIsKept) {
  m_server.route("POST", kPath, ScriptedResponse::json(200, settings_test::chatAnswer("Hi")));
  ASSERT_TRUE(setting::openAiModel.write(ChatGPTModels::gpt4vision, m_harness.defaults));
  auto form = makeForm();
  EXPECT_EQ(form->modelPicker()->currentIndex(), -1);
  EXPECT_EQ(form->modelPicker()->count(), 5);
  form->keyField()->setText("sk-vision-key-01");
  QTest::keyClick(form->confirmButton(), Qt::Key_Return);
  ASSERT_EVENTUALLY_EQ(m_closes, 1, 10000);
  EXPECT_EQ(nlohmann::json::parse(m_server.waitForRequest(0)->body)["model"],
            "gpt-4-vision-preview");
  EXPECT_EQ(setting::openAiModel.read(m_harness.defaults), ChatGPTModels::gpt4vision);
}

}  // namespace
}  // namespace tessra
