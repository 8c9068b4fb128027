#include "Tessra/settings/conversation_setings_view.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cmath>

#include "Tessra/settings/form_support.h"
#include "Tessra/settings/settings_slider.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/localized_text.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "platform/foundation/logger.h"

namespace tessra {

namespace {

// The prompt field grows with its text between these many lines.
constexpr int kPromptMinimumLines = 4;
constexpr int kPromptMaximumLines = 8;

}  // namespace

ConversationSetingsView::ConversationSetingsView(BoolBinding isVisible,
                                                 ConversationBinding editingConversation,
                                                 QWidget* parent)
    : ConversationSetingsView(std::move(isVisible), std::move(editingConversation),
                              ChatSessionManager::shared(), UserSettings::shared(), parent) {}

ConversationSetingsView::ConversationSetingsView(BoolBinding isVisible,
                                                 ConversationBinding editingConversation,
                                                 ChatSessionManager& store, UserSettings& settings,
                                                 QWidget* parent)
    : QWidget(parent),
      m_isVisible(std::move(isVisible)),
      m_editingConversation(std::move(editingConversation)),
      m_store(store),
      m_settings(settings) {
  setObjectName(QStringLiteral("conversationSettings"));
  setAttribute(Qt::WA_TranslucentBackground);
  build();
}

QString ConversationSetingsView::contextLimitText(double value) {
  const auto count = static_cast<std::int64_t>(std::trunc(value));
  if (count == 0) return LocalizedText::General::allMessages();
  return LocalizedText::General::lastNItems(count);
}

QString ConversationSetingsView::prompt() const { return m_promptField->toPlainText(); }

void ConversationSetingsView::build() {
  using Text = LocalizedText;
  // The form starts below the rounded corners, which the square scroll area would cover.
  auto [card, column] = addFormCard(this, QMargins(1, 14, 1, 1));

  auto* scroll = new QScrollArea(card);
  scroll->setObjectName(QStringLiteral("conversationSettingsForm"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setStyleSheet(
      QStringLiteral("QScrollArea#conversationSettingsForm, QWidget#formContent { background: %1; }"
                     "QLabel { color: %2; }"
                     "QPlainTextEdit { background: %1; color: %2; border: 1px solid %3; }")
          .arg(palette::tertiaryBackground().name(), palette::text().name(),
               palette::border().name()));
  auto* form = new QWidget(scroll);
  form->setObjectName(QStringLiteral("formContent"));
  auto* formColumn = new QVBoxLayout(form);
  formColumn->setContentsMargins(20, 20, 20, 20);
  formColumn->setSpacing(8);

  m_title = plainLabel({}, form);
  m_title->setObjectName(QStringLiteral("title"));
  m_title->setAlignment(Qt::AlignCenter);
  m_title->setStyleSheet(QStringLiteral("color: %1; font-size: 26px; font-weight: bold;")
                             .arg(palette::headingText().name()));
  m_title->setWordWrap(true);
  formColumn->addWidget(m_title);
  formColumn->addSpacing(16);

  auto* general = sectionCard(form);
  auto* generalColumn = new QVBoxLayout(general);
  generalColumn->setContentsMargins(12, 12, 12, 12);
  generalColumn->setSpacing(14);
  auto* modelRow = new QHBoxLayout;
  modelRow->addWidget(plainLabel(Text::General::model(), general));
  modelRow->addStretch(1);
  m_modelPicker = new QComboBox(general);
  m_modelPicker->setObjectName(QStringLiteral("model"));
  fillModelPicker(m_modelPicker, m_openAiModel);
  connect(m_modelPicker, &QComboBox::activated, this,
          [this](int index) { m_openAiModel = kOfferedModels[static_cast<std::size_t>(index)]; });
  modelRow->addWidget(m_modelPicker);
  generalColumn->addLayout(modelRow);

  auto* promptBlock = new QVBoxLayout;
  promptBlock->setSpacing(6);
  promptBlock->addWidget(plainLabel(Text::General::prompt(), general));
  m_promptField = new QPlainTextEdit(general);
  m_promptField->setObjectName(QStringLiteral("prompt"));
  m_promptField->setTabChangesFocus(true);
  const auto fitPrompt = [this] {
    const int lineHeight = m_promptField->fontMetrics().lineSpacing();
    const int lines = std::clamp(static_cast<int>(m_promptField->document()->size().height()),
                                 kPromptMinimumLines, kPromptMaximumLines);
    const int frame = 2 * m_promptField->frameWidth() +
                      static_cast<int>(2 * m_promptField->document()->documentMargin());
    m_promptField->setFixedHeight(lines * lineHeight + frame);
  };
  connect(m_promptField->document(), &QTextDocument::contentsChanged, this, fitPrompt);
  fitPrompt();
  promptBlock->addWidget(m_promptField);
  generalColumn->addLayout(promptBlock);

  const auto binding = [this](double* field) {
    return DoubleBinding{[field] { return *field; }, [field](double value) { *field = value; }};
  };
  m_temperatureSlider =
      new SettingsSlider({.title = Text::General::temperature(),
                          .value = binding(&m_temperature),
                          .lower = 0,
                          .upper = 2,
                          .step = 0.1,
                          .description = Text::ConversationSettings::temperatureDescription(),
                          .defaultValue = kDefaultTemperature},
                         general);
  generalColumn->addWidget(m_temperatureSlider);
  m_contextSlider = new SettingsSlider(
      {.title = Text::ConversationSettings::contextLimit(),
       .value = binding(&m_contextWindow),
       .lower = 0,
       .upper = 30,
       .step = 1,
       .description = Text::ConversationSettings::contextLimitDescription(),
       .defaultValue = 0,
       .customFormatter = [](double value) { return std::optional(contextLimitText(value)); }},
      general);
  generalColumn->addWidget(m_contextSlider);
  formColumn->addWidget(general);
  formColumn->addSpacing(12);

  formColumn->addWidget(sectionHeader(Text::General::advanced(), form));
  auto* advanced = sectionCard(form);
  auto* advancedColumn = new QVBoxLayout(advanced);
  advancedColumn->setContentsMargins(12, 12, 12, 12);
  advancedColumn->setSpacing(14);
  m_presenceSlider =
      new SettingsSlider({.title = Text::ConversationSettings::presencePenalty(),
                          .value = binding(&m_presencePenalty),
                          .lower = -2,
                          .upper = 2,
                          .step = 0.1,
                          .description = Text::ConversationSettings::presencePenaltyDescription(),
                          .defaultValue = 0},
                         advanced);
  m_frequencySlider =
      new SettingsSlider({.title = Text::ConversationSettings::frequencyPenalty(),
                          .value = binding(&m_frequencyPenalty),
                          .lower = -2,
                          .upper = 2,
                          .step = 0.1,
                          .description = Text::ConversationSettings::frequencyPenaltyDescription(),
                          .defaultValue = 0},
                         advanced);
  m_topPSlider = new SettingsSlider({.title = Text::ConversationSettings::topP(),
                                     .value = binding(&m_topP),
                                     .lower = 0,
                                     .upper = 2,
                                     .step = 0.1,
                                     .description = Text::ConversationSettings::topPDescription(),
                                     .defaultValue = kDefaultTopP},
                                    advanced);
  advancedColumn->addWidget(m_presenceSlider);
  advancedColumn->addWidget(m_frequencySlider);
  advancedColumn->addWidget(m_topPSlider);
  formColumn->addWidget(advanced);
  formColumn->addStretch(1);
  scroll->setWidget(form);
  column->addWidget(scroll, 1);

  QWidget* bar = addFormFooter(column, card);
  auto* buttons = new QHBoxLayout(bar);
  buttons->setContentsMargins(12, 12, 12, 12);
  const FormButtons formButtons =
      addFormButtons(buttons, bar, Text::General::save(), QStringLiteral("create"));
  m_cancel = formButtons.cancel;
  m_save = formButtons.confirm;

  connect(m_cancel, &QAbstractButton::clicked, this, &ConversationSetingsView::close);
  clickOnEscape(m_cancel, this);
  connect(m_save, &QAbstractButton::clicked, this, &ConversationSetingsView::save);
}

void ConversationSetingsView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_loaded) return;
  m_loaded = true;
  load();
}

void ConversationSetingsView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // However the panel went away (a click outside closes it too), the edit is over.
  if (m_editingConversation.set && m_editingConversation.get && m_editingConversation.get())
    m_editingConversation.set(std::nullopt);
}

void ConversationSetingsView::refreshControls() {
  selectModel(m_modelPicker, m_openAiModel);
  for (SettingsSlider* slider :
       {m_temperatureSlider, m_contextSlider, m_presenceSlider, m_frequencySlider, m_topPSlider})
    slider->refresh();
}

void ConversationSetingsView::load() {
  const std::optional<Conversation> editing =
      m_editingConversation.get ? m_editingConversation.get() : std::nullopt;
  m_title->setText(editing ? QString::fromStdString(editing->name) : QString());
  if (!editing) return;
  const Conversation* stored = m_store.conversation(editing->id);
  if (!stored) return;
  const ConversationConfig* config = stored->config ? &*stored->config : nullptr;
  m_openAiModel = config && config->model ? *config->model : m_settings.openAiModel();
  m_promptField->setPlainText(QString::fromStdString(
      config && config->prompt ? *config->prompt : std::string(kDefaultPrompt)));
  m_temperature = config ? config->temperature.value_or(kDefaultTemperature) : kDefaultTemperature;
  m_presencePenalty = config ? config->presencePenalty.value_or(0) : 0;
  m_frequencyPenalty = config ? config->frequencyPenalty.value_or(0) : 0;
  m_topP = config ? config->topP.value_or(kDefaultTopP) : kDefaultTopP;
  m_contextWindow = config ? static_cast<double>(config->contextWindow) : kAbsentContextWindow;
  refreshControls();
}

void ConversationSetingsView::dismiss() {
  if (m_isVisible.set) m_isVisible.set(false);
  if (m_editingConversation.set) m_editingConversation.set(std::nullopt);
}

void ConversationSetingsView::close() { dismiss(); }

void ConversationSetingsView::save() {
  ConversationConfig config;
  if (m_openAiModel != m_settings.openAiModel()) config.model = m_openAiModel;
  const std::string promptText = prompt().toStdString();
  if (promptText != kDefaultPrompt) config.prompt = promptText;
  if (m_temperature != kDefaultTemperature) config.temperature = m_temperature;
  if (m_presencePenalty != 0) config.presencePenalty = m_presencePenalty;
  if (m_frequencyPenalty != 0) config.frequencyPenalty = m_frequencyPenalty;
  if (m_topP != kDefaultTopP) config.topP = m_topP;
  config.contextWindow = static_cast<std::int64_t>(std::trunc(m_contextWindow));

  const std::optional<Conversation> editing =
      m_editingConversation.get ? m_editingConversation.get() : std::nullopt;
  const Conversation* stored = editing ? m_store.conversation(editing->id) : nullptr;
  if (!stored) {
    // Deleted while the panel was open, or never listed: there is nothing to store it in.
    dismiss();
    return;
  }
  Conversation updated = *stored;
  updated.config = config;
  try {
    m_store.updateConversation(updated.id, updated);
  } catch (const std::exception&) {
    platform::logError("Failed to update conversation settings: {}",
                       debugDescribe(std::current_exception()));
    return;
  }
  dismiss();
}

}  // namespace tessra
