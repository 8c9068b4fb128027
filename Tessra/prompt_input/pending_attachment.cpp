#include "Tessra/prompt_input/pending_attachment.h"

#include <utility>
#include <variant>

namespace tessra {

void PendingAttachment::set(std::optional<ChatAttachment> value) {
  if (value == m_value) return;
  m_value = std::move(value);
  emit changed();
}

bool PendingAttachment::take(AttachmentOffer offer) {
  if (auto* attachment = std::get_if<ChatAttachment>(&offer)) {
    set(std::move(*attachment));
    return true;
  }
  if (!std::holds_alternative<UnreadableImage>(offer)) return false;
  emit unreadableImageOffered();
  return true;
}

}  // namespace tessra
