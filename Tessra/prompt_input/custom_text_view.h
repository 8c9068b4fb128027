// The editor inside the prompt box: plain text in a 15-pixel monospaced font, one line high when
// empty and growing with its text up to eleven lines' worth (169 px), then scrolling.
//
// Return sends (`sendRequested`, once the key event is done) or breaks the line by the Enter
// rule; Tab and Shift+Tab move the focus and type nothing; Up and Down are the command list's
// (`commandSelectionUp`, `commandSelectionDown`) while the text begins with "/"; a paste that the
// clipboard reader turns into an attachment is reported (`attachmentPasted`) and inserts nothing,
// as does one of an image that cannot be read (`unreadableImagePasted`).
// Drops are refused, so they reach the chat's drop target. Text and attachments forwarded
// through "focusOnPromptInput" land here. GUI thread only.
#pragma once

#include <QPlainTextEdit>

#include <optional>

#include "Tessra/storage/chat_attachment.h"
#include "platform/foundation/notification_center.h"

namespace tessra {

class CustomTextView : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kFontPixelSize = 15;

  explicit CustomTextView(QWidget* parent = nullptr);
  ~CustomTextView() override;

  // None: Return and Shift+Return break the line. True: Return sends, Shift+Return breaks.
  // False: the other way round. Return also breaks the line while nothing listens for sends.
  void setEnterToSend(std::optional<bool> enterToSend) { m_enterToSend = enterToSend; }

  int minHeight() const { return kFontPixelSize + 4; }
  int maxHeight() const { return kFontPixelSize * 11 + 4; }

  // Whether the text begins with "/", read without copying the text.
  bool startsWithSlash() const;

  // Sets the text from outside; the caret keeps its place, clamped to the new text.
  void setText(const QString& text);

  // Fits the height to the text (kept while the text begins with "/").
  void updateHeight();
  // Back to one line, as after a send.
  void resizeToDefaultSize();

 signals:
  void sendRequested();
  void attachmentPasted(const tessra::ChatAttachment& attachment);
  void unreadableImagePasted(const tessra::UnreadableImage& image);
  void commandSelectionUp();
  void commandSelectionDown();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void insertNewline(QKeyEvent* event);
  bool commitComposition();
  void appendInputedText(const platform::Notification& notification);

  std::optional<bool> m_enterToSend;
  platform::NotificationCenter::ObserverToken m_forwardObserver;
};

}  // namespace tessra
