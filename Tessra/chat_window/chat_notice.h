// A line of the chat window that tells the user what went wrong with the conversation's file:
// that it cannot be read, that a question was refused for that reason, or that what was said
// could not be saved. The file and the system's own reason stand below it.
//
//   auto* notice = new ChatNotice(column);
//   notice->present(LocalizedText::Chat::conversationNotSaved(),
//                   "/home/ada/.local/share/TessraAI/1F3C.json: No space left on device");
//   notice->dismiss();
//
// Both lines are plain text that the user can select and copy. Hidden while there is nothing to
// tell. GUI thread only.
#pragma once

#include <QFrame>
#include <QString>

class QLabel;

namespace tessra {

class ChatNotice final : public QFrame {
  Q_OBJECT

 public:
  explicit ChatNotice(QWidget* parent = nullptr);

  // Shows `text`, and `reason` below it unless it is empty.
  void present(const QString& text, const QString& reason);
  void dismiss();

  QString text() const;
  QString reason() const;

 private:
  QLabel* m_text;
  QLabel* m_reason;
};

}  // namespace tessra
