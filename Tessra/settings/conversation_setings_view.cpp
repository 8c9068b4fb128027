#include "Tessra/settings/conversation_setings_view.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/form_support.h"
#include "Tessra/settings/settings_slider.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/button_styles.h"
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
  // The form starts below the rounded corners, which the square scroll area would cover.
  auto [card, column] = addFormCard(this, QMargins(1, 14, 1, 1));
  column->addWidget(buildForm(card), 1);

  auto* buttons = new QHBoxLayout(addFormFooter(column, card));
  buttons->setContentsMargins(12, 12, 12, 12);
  const FormButtons formButtons = addFormButtons(
      buttons, buttons->parentWidget(), LocalizedText::General::save(), QStringLiteral("create"));
  m_cancel = formButtons.cancel;
  m_save = formButtons.confirm;
  connect(m_cancel, &QAbstractButton::clicked, this, &ConversationSetingsView::close);
  clickOnEscape(m_cancel, this);
  connect(m_save, &QAbstractButton::clicked, this, &ConversationSetingsView::save);
}

QWidget* ConversationSetingsView::buildForm(QWidget* card) {
  using Text = LocalizedText;
  using Texts = LocalizedText::ConversationSettings;
  auto* scroll = new QScrollArea(card);
  scroll->setObjectName(QStringLiteral("conversationSettingsForm"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setStyleSheet(formStyleSheet());
  auto* form = new QWidget(scroll);
  form->setObjectName(QStringLiteral("formContent"));
  auto* column = new QVBoxLayout(form);
  column->setContentsMargins(20, 20, 20, 20);
  column->setSpacing(8);
  m_title = addFormTitle(column, form, {}, 26);
  column->addSpacing(16);

  QVBoxLayout* general = addSection(column, form, {}, kFormSection);
  m_modelPicker = addModelPickerRow(general, Text::General::model(), m_openAiModel);
  m_promptField =
      addTextAreaRow(general, Text::General::prompt(), kPromptMinimumLines, kPromptMaximumLines);
  m_promptField->setObjectName(QStringLiteral("prompt"));
  m_temperatureSlider = addSliderRow(general, {.title = Text::General::temperature(),
                                               .value = boundTo(m_temperature),
                                               .lower = 0,
                                               .upper = 2,
                                               .description = Texts::temperatureDescription(),
                                               .defaultValue = kDefaultTemperature});
  m_contextSlider = addSliderRow(general, {.title = Texts::contextLimit(),
                                           .value = boundTo(m_contextWindow),
                                           .lower = 0,
                                           .upper = 30,
                                           .step = 1,
                                           .description = Texts::contextLimitDescription(),
                                           .defaultValue = 0,
                                           .customFormatter = [](double value) {
                                             return std::optional(contextLimitText(value));
                                           }});

  // The last section: the flexible space follows it.
  QVBoxLayout* advanced = addSection(
      column, form, Text::General::advanced(),
      {.margins = kFormSection.margins, .rowSpacing = kFormSection.rowSpacing, .after = 0});
  m_presenceSlider = addSliderRow(advanced, {.title = Texts::presencePenalty(),
                                             .value = boundTo(m_presencePenalty),
                                             .lower = -2,
                                             .upper = 2,
                                             .description = Texts::presencePenaltyDescription(),
                                             .defaultValue = 0});
  m_frequencySlider = addSliderRow(advanced, {.title = Texts::frequencyPenalty(),
                                              .value = boundTo(m_frequencyPenalty),
                                              .lower = -2,
                                              .upper = 2,
                                              .description = Texts::frequencyPenaltyDescription(),
                                              .defaultValue = 0});
  m_topPSlider = addSliderRow(advanced, {.title = Texts::topP(),
                                         .value = boundTo(m_topP),
                                         .lower = 0,
                                         .upper = 2,
                                         .description = Texts::topPDescription(),
                                         .defaultValue = kDefaultTopP});
  column->addStretch(1);
  scroll->setWidget(form);
  return scroll;
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
  m_openAiModel = config && config->model ? *config->model : m_settings.value(setting::openAiModel);
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
  if (m_openAiModel != m_settings.value(setting::openAiModel)) config.model = m_openAiModel;
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
