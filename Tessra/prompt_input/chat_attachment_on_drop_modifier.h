// Makes a widget a drop target for attachments: a dropped file, image or text becomes the
// pending attachment, and a dark layer with a plus sign covers the widget while a drag hovers
// over it.
//
//   new ChatAttachmentOnDropModifier(chatColumn, pending);   // owned by chatColumn
//
// GUI thread only.
#pragma once

#include <QObject>

class QMimeData;
class QWidget;

namespace tessra {

class PendingAttachment;

class ChatAttachmentOnDropModifier : public QObject {
  Q_OBJECT

 public:
  ChatAttachmentOnDropModifier(QWidget* target, PendingAttachment* chatAttachment);

  // A drag of something attachable hovers over the target.
  bool isTargeted() const { return m_isTargeted; }
  // Sets the pending attachment from `mime`; false when it holds nothing attachable.
  bool handleDrop(const QMimeData* mime);

  QWidget* overlay() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Overlay;
  void setTargeted(bool targeted);

  QWidget* m_target;
  PendingAttachment* m_chatAttachment;
  Overlay* m_overlay;
  bool m_isTargeted = false;
};

}  // namespace tessra
