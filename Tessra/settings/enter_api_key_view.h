// `EnterApiKeyView`: the form in which the user types the OpenAI API key and picks the default
// model. A key is stored only after one real chat request with it got an answer, and the form
// closes only once the login keyring holds it.
//
// The chat window opens it (isEditing false) when a question is sent without a key; the OpenAI
// settings page opens it (isEditing true) to replace the key. Cancel (or Escape) and a finished
// save emit `closeRequested()`; the opener connects it to dismiss the form. A refusal is shown
// whole under the form, and scrolls when it is long.
//
// Saving: the key is trimmed, must then have 10 to 100 characters, is tried with the chosen
// model, and on an answer is written to the keyring through `UserSettings`; the model becomes the
// default model when the keyring has taken the key. Without a keyring the key is kept for this
// run only: the note under the key field says so instead of promising the keyring. While that runs
// the form is covered and every further save does nothing. The test runs on the client's thread;
// its answer comes back to the GUI thread and is dropped when the form is gone or hidden by then,
// so a closed form stores nothing. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>

#include "Tessra/storage/chat_gpt_models.h"
#include "platform/foundation/error.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace tessra {

class FlatButton;
class UserSettings;

class EnterApiKeyView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  // The height it asks for; a shorter host gets a form that fits it.
  static constexpr int kHeight = 540;
  // An error longer than this many lines scrolls.
  static constexpr int kErrorLines = 5;
  static constexpr int kMinimumKeyLength = 10;
  static constexpr int kMaximumKeyLength = 100;

  explicit EnterApiKeyView(bool isEditing, QWidget* parent = nullptr);
  // Over other settings (tests).
  EnterApiKeyView(bool isEditing, UserSettings& settings, QWidget* parent = nullptr);

  // Checks, tries and stores the key (see above).
  void save();

  bool isLoading() const { return m_isLoading; }
  const std::optional<QString>& validationError() const { return m_validationError; }
  // The model the picker holds; the stored one until the user picks another, also when the
  // picker cannot show it.
  ChatGPTModels openAiModel() const { return m_openAiModel; }

  QLineEdit* keyField() const { return m_keyField; }
  QComboBox* modelPicker() const { return m_modelPicker; }
  FlatButton* cancelButton() const { return m_cancel; }
  FlatButton* confirmButton() const { return m_confirm; }
  // The error, whole and wrapped, in an area that scrolls when it is long.
  QLabel* errorLabel() const { return m_errorLabel; }
  QScrollArea* errorArea() const { return m_errorScroll; }
  // The note under the key field: where the key is kept.
  QLabel* noteLabel() const { return m_note; }
  QWidget* busyOverlay() const { return m_overlay; }

  // The number of characters a user sees in `text` (grapheme clusters).
  static int characterCount(const QString& text);

 signals:
  // Cancel, or the key is stored: the opener dismisses the form.
  void closeRequested();

 protected:
  // Its height does not follow its content: the room under the form is kept for an error.
  QSize sizeHint() const override { return {kWidth, kHeight}; }
  bool hasHeightForWidth() const override { return false; }
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void build(bool isEditing);
  QWidget* buildForm(QWidget* card, bool isEditing);
  void buildFooter(QWidget* footer, bool isEditing);
  void buildOverlay();
  void setLoading(bool loading);
  void setValidationError(std::optional<QString> error);
  // Gives the error area the height of the whole error, up to `kErrorLines` lines.
  void fitError();
  void finishTest(const QString& key, Result<void> answer);
  void finishStore(Result<void> stored);
  void updateNote();
  // False once the form was closed: late answers must change nothing.
  bool isOpen() const;

  UserSettings& m_settings;
  ChatGPTModels m_openAiModel;
  std::optional<QString> m_validationError;
  bool m_isLoading = false;
  bool m_appeared = false;

  QLineEdit* m_keyField = nullptr;
  QComboBox* m_modelPicker = nullptr;
  QLabel* m_errorLabel = nullptr;
  QScrollArea* m_errorScroll = nullptr;
  QLabel* m_note = nullptr;
  QVBoxLayout* m_footerColumn = nullptr;
  FlatButton* m_cancel = nullptr;
  FlatButton* m_confirm = nullptr;
  QWidget* m_overlay = nullptr;
};

}  // namespace tessra
