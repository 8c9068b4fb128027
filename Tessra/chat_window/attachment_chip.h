// The chip of the pending attachment above the prompt: a 120 x 100 card with the image (filling
// it) or the start of the text, the file name as a caption, a remove button in its top right
// corner, and on click the full preview in a pop-over beside the card, on the side away from the
// screen edge the floating panel is docked to. Without an attachment it takes no space.
//
//   auto* chip = new ChatAttachmentView(pending, inputArea);
//
// GUI thread only.
#pragma once

#include <QWidget>

class QToolButton;

namespace tessra {

class ChatAttachmentPreview;
class PendingAttachment;

class ChatAttachmentView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCardWidth = 120;
  static constexpr int kCardHeight = 100;
  static constexpr int kPadding = 16;
  // The card shows at most this many characters of a text.
  static constexpr std::size_t kMaxCardTextLength = 100;

  explicit ChatAttachmentView(PendingAttachment* chatAttachment, QWidget* parent = nullptr);
  ~ChatAttachmentView() override;

  QWidget* card() const;
  QToolButton* removeButton() const;
  // The pop-over with the preview while it is open, else null.
  QWidget* popover() const;
  ChatAttachmentPreview* preview() const { return m_preview; }
  // The card's edge the pop-over's arrow points from: right when the panel is docked left.
  Qt::Edge arrowEdge() const;

  void setTextSheetPresented(bool presented);
  bool isTextSheetPresented() const;

 private:
  class Card;
  class RemoveButton;
  class Popover;

  void refresh();

  PendingAttachment* m_chatAttachment;
  Card* m_card;
  RemoveButton* m_removeButton;
  ChatAttachmentPreview* m_preview;
  Popover* m_popover;
};

}  // namespace tessra
