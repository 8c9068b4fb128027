// The panel that creates a conversation or renames one: an emoji in the round picker, a title in
// the field, Cancel and Create (or Update).
//
//   new NewConversationFloatingPanelView(setSessionID, isVisible, editing, clearEditing);
//
// A conversation given for editing opens the panel in rename mode, however short its name: its
// first character is the emoji and the rest, without one leading space, the title. Otherwise the
// panel creates, starting from a random emoji. The stored name is the emoji, one space and the
// title as typed. A title is accepted with 3 to 30 characters (user-perceived ones, counted after
// trimming for the lower bound, as typed for the upper). On success (the store announces the new
// or renamed conversation) the panel makes a new conversation the chat's current one and closes;
// on failure it shows the message and stays.
// The keyboard starts in the title field, so a typed name is not lost to the emoji field.
// GUI thread only.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

#include "Tessra/navigation/emoji_picker_view.h"
#include "Tessra/storage/conversation.h"
#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/small_views.h"

class QVBoxLayout;

namespace tessra {

class NewConversationFloatingPanelView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 440;
  static constexpr int kHeight = 400;
  static constexpr int kMinimumTitleLength = kMinimumConversationTitleLength;
  static constexpr int kMaximumTitleLength = kMaximumConversationTitleLength;

  NewConversationFloatingPanelView(std::function<void(const std::string&)> setSessionID,
                                   BoolBinding isVisible,
                                   std::optional<Conversation> editingConversation,
                                   std::function<void()> clearEditingConversation,
                                   QWidget* parent = nullptr);

  bool isEditing() const { return !m_editingID.empty(); }
  QString emoji() const { return m_emoji; }
  QString validationError() const { return m_validationError; }

  EmojiPickerView* emojiPicker() const { return m_picker; }
  QLineEdit* titleField() const { return m_titleField; }
  QLabel* heading() const { return m_heading; }
  FlatButton* cancelButton() const { return m_cancel; }
  FlatButton* confirmButton() const { return m_confirm; }

  // Validates and stores; see the header comment.
  void save();

  // The number of user-perceived characters of `text`.
  static int characterCount(const QString& text);

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The heading, the description, the emoji and the title field, over the flexible space.
  QVBoxLayout* buildForm(const QString& title);
  // The bar of the buttons, with the validation message between them.
  QWidget* buildBar();
  void setValidationError(const QString& message);
  void didSave(const std::optional<std::string>& createdID);

  std::function<void(const std::string&)> m_setSessionID;
  BoolBinding m_isVisible;
  std::string m_editingID;
  QString m_editingName;
  QString m_emoji;
  QString m_validationError;
  bool m_isLoading = false;
  bool m_appeared = false;

  QLabel* m_heading = nullptr;
  EmojiPickerView* m_picker = nullptr;
  QLineEdit* m_titleField = nullptr;
  QLabel* m_message = nullptr;
  FlatButton* m_cancel = nullptr;
  FlatButton* m_confirm = nullptr;
};

}  // namespace tessra
