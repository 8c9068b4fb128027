#include "Tessra/prompt_input/pending_attachment.h"

namespace tessra {

void PendingAttachment::set(std::optional<ChatAttachment> value) {
  if (value == m_value) return;
  m_value = std::move(value);
  emit changed();
}

}  // namespace tessra
