// `ConversationSetingsView`: the panel in which the user tunes one conversation (model, system
// prompt, temperature, how many earlier messages are sent, the penalties and top_p).
//
// The chat window opens it over the chat panel for the conversation it keeps in its editing slot
// and closes it through its flag. Opening fills the controls from the store's entry of that
// conversation; Save writes them back as the entry's `ConversationConfig` through the store, which
// announces it. A setting equal to what an absent one reads as is stored as
// absent, so the conversation keeps following the defaults; the context limit is always stored,
// as the slider shows it (an untouched 100 stays 100).
//
// Save replaces only the config of the store's current entry (a name changed elsewhere meanwhile
// is kept); without a listed conversation it closes without storing; a store that
// cannot load the conversation's session keeps the panel open. Every close (Cancel, Save, the
// chat window's flag) clears the editing slot. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <optional>

#include "Tessra/storage/chat_gpt_models.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/ui_foundation/small_views.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace tessra {

class ChatSessionManager;
class FlatButton;
class SettingsSlider;
class UserSettings;

// An optional conversation owned elsewhere (the chat window's editing slot).
struct ConversationBinding {
  std::function<std::optional<Conversation>()> get;
  std::function<void(std::optional<Conversation>)> set;
};

class ConversationSetingsView : public QWidget {
  Q_OBJECT

 public:
  // The prompt a conversation without one is sent with.
  static constexpr const char* kDefaultPrompt = "You're Tessra, a helpful assistant.";
  static constexpr double kDefaultTemperature = 0.5;
  static constexpr double kDefaultTopP = 1.0;
  // What a conversation without settings sends: its last 100 messages.
  static constexpr double kAbsentContextWindow = 100;

  ConversationSetingsView(BoolBinding isVisible, ConversationBinding editingConversation,
                          QWidget* parent = nullptr);
  // Over another store and settings (tests).
  ConversationSetingsView(BoolBinding isVisible, ConversationBinding editingConversation,
                          ChatSessionManager& store, UserSettings& settings,
                          QWidget* parent = nullptr);

  // Fills the controls from the store's entry of the edited conversation; runs when the panel
  // first appears.
  void load();
  // Cancel: closes without storing.
  void close();
  // Stores the controls' values and closes (see above).
  void save();

  // The context limit's badge: "All Messages" for 0, else "Last <n>".
  static QString contextLimitText(double value);

  // The controls' values.
  ChatGPTModels openAiModel() const { return m_openAiModel; }
  QString prompt() const;
  double temperature() const { return m_temperature; }
  double presencePenalty() const { return m_presencePenalty; }
  double frequencyPenalty() const { return m_frequencyPenalty; }
  double topP() const { return m_topP; }
  double contextWindow() const { return m_contextWindow; }

  QComboBox* modelPicker() const { return m_modelPicker; }
  QPlainTextEdit* promptField() const { return m_promptField; }
  QLabel* titleLabel() const { return m_title; }
  SettingsSlider* temperatureSlider() const { return m_temperatureSlider; }
  SettingsSlider* contextSlider() const { return m_contextSlider; }
  SettingsSlider* presencePenaltySlider() const { return m_presenceSlider; }
  SettingsSlider* frequencyPenaltySlider() const { return m_frequencySlider; }
  SettingsSlider* topPSlider() const { return m_topPSlider; }
  FlatButton* cancelButton() const { return m_cancel; }
  FlatButton* saveButton() const { return m_save; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void build();
  QWidget* buildForm(QWidget* card);
  void refreshControls();
  void dismiss();

  BoolBinding m_isVisible;
  ConversationBinding m_editingConversation;
  ChatSessionManager& m_store;
  UserSettings& m_settings;
  bool m_loaded = false;

  ChatGPTModels m_openAiModel = ChatGPTModels::gpt35;
  double m_temperature = 1.0;
  double m_presencePenalty = 0;
  double m_frequencyPenalty = 0;
  double m_topP = 1.0;
  double m_contextWindow = 0;

  QLabel* m_title = nullptr;
  QComboBox* m_modelPicker = nullptr;
  QPlainTextEdit* m_promptField = nullptr;
  SettingsSlider* m_temperatureSlider = nullptr;
  SettingsSlider* m_contextSlider = nullptr;
  SettingsSlider* m_presenceSlider = nullptr;
  SettingsSlider* m_frequencySlider = nullptr;
  SettingsSlider* m_topPSlider = nullptr;
  FlatButton* m_cancel = nullptr;
  FlatButton* m_save = nullptr;
};

}  // namespace tessra
