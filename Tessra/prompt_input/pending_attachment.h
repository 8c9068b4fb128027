// The attachment waiting to go with the next question, owned by the chat view and shared with
// the attach button, the drop target, the chip and its preview, which all read and replace it.
//
//   PendingAttachment pending;
//   connect(&pending, &PendingAttachment::changed, chip, &ChatAttachmentView::refresh);
//   connect(&pending, &PendingAttachment::unreadableImageOffered, page, &Page::tell);
//   pending.take(fromDrop(mime));
//
// GUI thread only.
#pragma once

#include <QObject>

#include <optional>

#include "Tessra/storage/chat_attachment.h"

namespace tessra {

class PendingAttachment : public QObject {
  Q_OBJECT

 public:
  explicit PendingAttachment(QObject* parent = nullptr) : QObject(parent) {}

  const std::optional<ChatAttachment>& value() const { return m_value; }
  // Emits `changed` only when the value differs.
  void set(std::optional<ChatAttachment> value);
  // Sets the attachment offered, or tells that an image offered cannot be attached (the pending
  // attachment stays); false when nothing was offered.
  bool take(AttachmentOffer offer);

 signals:
  void changed();
  // An image was offered that cannot be read: the user should be told.
  void unreadableImageOffered();

 private:
  std::optional<ChatAttachment> m_value;
};

}  // namespace tessra
