// The prompt box at the bottom of the chat: a placeholder, the growing editor in a rounded dark
// frame whose outline brightens with focus, and the slash-command list that stands on its top
// edge while the text begins with "/".
//
//   auto* prompt = new ChatTextField(parent);
//   prompt->setEnterToSend(true);
//   prompt->setCommands(slashCommands);  // actions, offered by their texts
//   connect(prompt, &ChatTextField::sendRequested, this, &Chat::send);
//   connect(prompt, &ChatTextField::commandChosen, this, &Chat::run);
//
// Return with a "/" text reports the chosen command's action (when there is one) and clears the
// text instead of sending; running it is the caller's business. Hiding the floating window
// ("willHideGptWindow") drops a half-typed command but keeps prose. GUI thread only.
#pragma once

#include <QAction>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

#include "Tessra/storage/chat_attachment.h"
#include "platform/foundation/notification_center.h"

class QLabel;

namespace tessra {

class BorderlessWindow;
class ChatTextFieldCompletionView;
class CustomTextView;

class ChatTextField : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHorizontalPadding = 8;
  static constexpr int kVerticalPadding = 12;
  // The gap between the command list and the box.
  static constexpr int kListGap = 12;

  explicit ChatTextField(QWidget* parent = nullptr);
  ~ChatTextField() override;

  QString text() const;
  void setText(const QString& text);

  void setEnterToSend(std::optional<bool> enterToSend);
  // The slash list: one row per action, its text the row's title, in the order given.
  void setCommands(const QList<QAction*>& actions);

  // The focus state "input": the editor has the keyboard focus.
  bool isFocused() const;
  void focusInput();

  // The command highlighted in the slash list; null when none is.
  QAction* commandToBeExecuted() const { return m_commandToBeExecuted; }
  bool isSuggestionsVisible() const { return m_isSuggestionsVisible; }

  // Return's action: reports the chosen command for a "/" text, else asks to send.
  void submit();

  CustomTextView* editor() const { return m_editor; }
  ChatTextFieldCompletionView* completionView() const { return m_completionView; }
  BorderlessWindow* completionWindow() const { return m_completionWindow; }

 signals:
  void textChanged();
  void focusedChanged(bool focused);
  // Return, by the Enter rule, in a text that is no command.
  void sendRequested();
  // Return in a "/" text with a command chosen from the list.
  void commandChosen(QAction* command);
  // Pasted, or forwarded through "focusOnPromptInput": an attachment instead of text.
  void attachmentPasted(const tessra::ChatAttachment& attachment);
  // The same, with an image that cannot be read: nothing is inserted, and the user is to be told.
  void unreadableImagePasted(const tessra::UnreadableImage& image);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void onTextChange();

  CustomTextView* m_editor;
  QLabel* m_placeholder;
  ChatTextFieldCompletionView* m_completionView;
  BorderlessWindow* m_completionWindow;
  QPointer<QAction> m_commandToBeExecuted;
  bool m_isSuggestionsVisible = false;
  platform::NotificationCenter::ObserverToken m_hideObserver;
};

}  // namespace tessra
