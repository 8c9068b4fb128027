// The attachment waiting to go with the next question, owned by the chat view and shared with
// the attach button, the drop target, the chip and its preview, which all read and replace it.
//
//   PendingAttachment pending;
//   connect(&pending, &PendingAttachment::changed, chip, &ChatAttachmentView::refresh);
//   pending.set(fromPasteboard());
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

 signals:
  void changed();

 private:
  std::optional<ChatAttachment> m_value;
};

}  // namespace tessra
