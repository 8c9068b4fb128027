// `OpenAiSettingsView`: the settings window's OpenAI page. It shows the stored API key masked
// (with the keyring's complaint, when it has one), replaces the key through the key form opened
// over the settings window, and lists the offered models, from which a click picks the default
// model at once.
//
// The page follows the key as `UserSettings` announces it, so a key stored by the form, or read
// late from the keyring, shows without reopening the page. GUI thread only.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "Tessra/storage/chat_gpt_models.h"

class QLabel;

namespace tessra {

class FlatButton;
class UserSettings;

// One row of the model list: the model's title (semibold when selected) over its description,
// and a check circle on the trailing side, filled green when selected.
class ModelRow : public QAbstractButton {
  Q_OBJECT

 public:
  ModelRow(ChatGPTModels model, QWidget* parent = nullptr);
  ChatGPTModels model() const { return m_model; }
  void setSelected(bool selected);
  bool isSelected() const { return m_selected; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  QSize sizeHint() const override;

 private:
  ChatGPTModels m_model;
  bool m_selected = false;
  QLabel* m_title = nullptr;
  QLabel* m_description = nullptr;
};

class OpenAiSettingsView : public QWidget {
  Q_OBJECT

 public:
  explicit OpenAiSettingsView(QWidget* parent = nullptr);
  // Over other settings (tests).
  explicit OpenAiSettingsView(UserSettings& settings, QWidget* parent = nullptr);

  // The key as shown: the first 3 and last 4 characters around one "*" for each one between;
  // a key of fewer than 8 characters unchanged.
  static QString maskedApiKey(const QString& key);

  // Re-reads the key and the stored model.
  void load();
  // Opens the key form as a sheet of the window: under its title bar, centred across it, as tall
  // as it asks or as the window is, following the window as it moves or resizes.
  void presentKeyForm();

  ChatGPTModels model() const { return m_model; }
  QLabel* keyLabel() const { return m_keyLabel; }
  QLabel* keychainErrorLabel() const { return m_keychainError; }
  FlatButton* updateButton() const { return m_update; }
  const std::vector<ModelRow*>& modelRows() const { return m_rows; }
  // The key form while it is open, else null.
  QWidget* keySheet() const { return m_sheet.data(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Places the open key form under the window's title bar, no taller than the window.
  void placeKeySheet();
  void select(ChatGPTModels model);
  void keySheetClosed();
  void showKey();

  UserSettings& m_settings;
  ChatGPTModels m_model = ChatGPTModels::gpt4;
  QLabel* m_keyLabel = nullptr;
  QLabel* m_keychainError = nullptr;
  FlatButton* m_update = nullptr;
  std::vector<ModelRow*> m_rows;
  QPointer<QWidget> m_sheet;
};

}  // namespace tessra
