#include "Tessra/settings/conversation_setings_view.h"

#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "Tessra/settings/settings_slider.h"
#include "Tessra/settings/settings_test_support.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/storage_test_support.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/widget_test_support.h"
#include "testing/memory_ceiling.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

constexpr const char* kPrompt = ConversationSetingsView::kDefaultPrompt;

class ConversationSetingsViewTest : public ::testing::Test {
 protected:
  ConversationSetingsViewTest() {
    (void)storage_test::processHome();
    m_store.load();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_harness.settings->setValue(setting::openAiModel, ChatGPTModels::gpt4);
    m_tokens.push_back(m_harness.center.addObserver(
        "conversationSettingDidChanged", [this](const platform::Notification&) { ++m_posts; }));
  }

  // A listed conversation with these settings, opened in a new panel.
  Conversation listed(std::optional<ConversationConfig> config) {
    // The store's folder lives as long as the process: names must differ across tests.
    static int made = 0;
    Conversation conversation = m_store.createConversation("🧪 Case " + std::to_string(++made));
    conversation.config = std::move(config);
    m_store.updateConversation(conversation.id, conversation);
    return conversation;
  }
  std::unique_ptr<ConversationSetingsView> open(const Conversation& conversation) {
    m_visible = true;
    m_editing = conversation;
    auto view = std::make_unique<ConversationSetingsView>(
        BoolBinding{[this] { return m_visible; }, [this](bool v) { m_visible = v; }},
        ConversationBinding{[this] { return m_editing; },
                            [this](std::optional<Conversation> c) { m_editing = std::move(c); }},
        m_store, *m_harness.settings);
    view->resize(600, 600);
    view->show();
    return view;
  }
  const ConversationConfig& storedConfig(const std::string& id) {
    const Conversation* stored = m_store.conversation(id);
    EXPECT_NE(stored, nullptr);
    EXPECT_TRUE(stored->config.has_value());
    return *stored->config;
  }
  static QStringList badges(ConversationSetingsView& view) {
    return {view.temperatureSlider()->badgeText(), view.contextSlider()->badgeText(),
            view.presencePenaltySlider()->badgeText(), view.frequencyPenaltySlider()->badgeText(),
            view.topPSlider()->badgeText()};
  }

  settings_test::SettingsHarness m_harness;
  ChatSessionManager m_store{m_harness.center, m_harness.defaults};
  std::vector<platform::NotificationCenter::ObserverToken> m_tokens;
  bool m_visible = false;
  std::optional<Conversation> m_editing;
  int m_posts = 0;
};

TEST_F(ConversationSetingsViewTest, AbsentSettingsShowTheDefaults) {
  const Conversation conversation = listed(std::nullopt);
  auto view = open(conversation);
  EXPECT_EQ(view->titleLabel()->text(), QString::fromStdString(conversation.name));
  EXPECT_EQ(view->modelPicker()->currentText(), "GPT-4");
  EXPECT_EQ(view->promptField()->toPlainText(), kPrompt);
  EXPECT_EQ(badges(*view), (QStringList{"0.50", "Last 100", "0.00", "0.00", "1.00"}));
  EXPECT_EQ(view->contextSlider()->slider()->value(), 30);  // the thumb at its right end
}

TEST_F(ConversationSetingsViewTest, ANameThatLooksLikeMarkupIsShownAsTyped) {
  const Conversation conversation = m_store.createConversation("🐱 <img src=/dev/zero>");
  // A label that took the name for markup would read "/dev/zero" without end.
  const testing::MemoryCeiling ceiling(64 << 20);
  auto view = open(conversation);
  (void)view->grab();
  EXPECT_EQ(view->titleLabel()->text(), QString::fromStdString(conversation.name));
  EXPECT_EQ(testing::labelsGuessingTheirFormat(*view), std::vector<std::string>{});
}

TEST_F(ConversationSetingsViewTest, SaveStoresWhatDiffersFromTheDefaults) {
  struct Case {
    const char* name;
    std::optional<ConversationConfig> before;
    std::function<void(ConversationSetingsView&)> edit;
    ConversationConfig expected;
  };
  const auto withModel = [](ChatGPTModels model) {
    ConversationConfig config;
    config.model = model;
    return config;
  };
  const auto expectedWith = [](std::function<void(ConversationConfig&)> change) {
    ConversationConfig config;
    config.contextWindow = 100;
    change(config);
    return config;
  };
  const Case cases[] = {
      {"untouched", std::nullopt, [](auto&) {}, expectedWith([](auto&) {})},
      {"the default model picked", withModel(ChatGPTModels::gpt35),
       [](ConversationSetingsView& v) {
         v.modelPicker()->setCurrentIndex(3);
         emit v.modelPicker()->activated(3);
       },
       ConversationConfig{}},
      {"vision kept", withModel(ChatGPTModels::gpt4vision), [](auto&) {},
       withModel(ChatGPTModels::gpt4vision)},
      {"0.5 by hand", std::nullopt,
       [](ConversationSetingsView& v) {
         v.temperatureSlider()->slider()->setValue(9);
         v.temperatureSlider()->slider()->setValue(5);
       },
       expectedWith([](auto&) {})},
      {"a trailing space in the prompt", std::nullopt,
       [](ConversationSetingsView& v) { v.promptField()->setPlainText(QString(kPrompt) + " "); },
       expectedWith([](ConversationConfig& c) { c.prompt = std::string(kPrompt) + " "; })},
      {"an empty prompt", std::nullopt,
       [](ConversationSetingsView& v) { v.promptField()->setPlainText(""); },
       expectedWith([](ConversationConfig& c) { c.prompt = ""; })},
      {"context 0", std::nullopt,
       [](ConversationSetingsView& v) { v.contextSlider()->resetButton()->click(); },
       ConversationConfig{}},
      {"context 1", std::nullopt,
       [](ConversationSetingsView& v) { v.contextSlider()->slider()->setValue(1); },
       expectedWith([](ConversationConfig& c) { c.contextWindow = 1; })},
      {"penalties and top_p", std::nullopt,
       [](ConversationSetingsView& v) {
         v.presencePenaltySlider()->slider()->setValue(19);
         v.frequencyPenaltySlider()->slider()->setValue(25);
         v.topPSlider()->slider()->setValue(15);
       },
       expectedWith([](ConversationConfig& c) {
         c.presencePenalty = -0.1;
         c.frequencyPenalty = 0.5;
         c.topP = 1.5;
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversation conversation = listed(c.before);
    auto view = open(conversation);
    c.edit(*view);
    const int posts = m_posts;
    view->saveButton()->click();
    EXPECT_EQ(storedConfig(conversation.id), c.expected);
    EXPECT_FALSE(m_visible);
    EXPECT_FALSE(m_editing.has_value());
    EXPECT_EQ(m_posts, posts + 1);
  }
}

TEST_F(ConversationSetingsViewTest, BadgesFollowTheValueAndTheLocale) {
  ConversationConfig config;
  config.presencePenalty = -0.1;
  config.temperature = 0.5;
  const Conversation conversation = listed(config);
  {
    auto view = open(conversation);
    EXPECT_EQ(view->presencePenaltySlider()->badgeText(), "-0.10");
    EXPECT_EQ(view->contextSlider()->badgeText(), "All Messages");
    view->contextSlider()->slider()->setValue(1);
    EXPECT_EQ(view->contextSlider()->badgeText(), "Last 1");
  }
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  auto view = open(conversation);
  EXPECT_EQ(view->temperatureSlider()->badgeText(), "0,50");
}

TEST_F(ConversationSetingsViewTest, CancelAndOtherClosesStoreNothingAndEndTheEdit) {
  ConversationConfig config;
  config.temperature = 1.2;
  const Conversation conversation = listed(config);
  const int posts = m_posts;
  {
    auto view = open(conversation);
    view->temperatureSlider()->slider()->setValue(3);
    QTest::keyClick(view->cancelButton(), Qt::Key_Return);
    EXPECT_FALSE(m_visible);
    EXPECT_FALSE(m_editing.has_value());
  }
  {
    // The chat window's panel closed by a click elsewhere: the view is hidden.
    auto view = open(conversation);
    view->temperatureSlider()->slider()->setValue(3);
    view->hide();
    EXPECT_FALSE(m_editing.has_value());
  }
  EXPECT_EQ(storedConfig(conversation.id), config);
  EXPECT_EQ(m_posts, posts);
}

TEST_F(ConversationSetingsViewTest, SaveKeepsANameChangedElsewhereAndNeedsAListedConversation) {
  const Conversation conversation = listed(std::nullopt);
  auto view = open(conversation);
  m_store.renameConversation(conversation.id, "🪄 Renamed");
  view->temperatureSlider()->slider()->setValue(8);
  view->saveButton()->click();
  EXPECT_EQ(m_store.conversation(conversation.id)->name, "🪄 Renamed");
  EXPECT_EQ(storedConfig(conversation.id).temperature, 0.8);

  const Conversation gone = listed(std::nullopt);
  auto orphan = open(gone);
  m_store.deleteConversation(gone.id);
  const int posts = m_posts;
  const auto listBefore = m_store.conversationList();
  orphan->saveButton()->click();
  EXPECT_FALSE(m_visible);
  EXPECT_FALSE(m_editing.has_value());
  EXPECT_EQ(m_posts, posts);
  EXPECT_EQ(m_store.conversationList(), listBefore);
}

}  // namespace
}  // namespace tessra
