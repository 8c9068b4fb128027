#include "Tessra/prompt_input/pending_attachment.h"

namespace tessra {

namespace {
bool promptKeyForwardingEnabled = true;
}  // namespace

void PendingAttachment::set(std::optional<ChatAttachment> value) {
  if (value == m_value) return;
  m_value = std::move(value);
  emit changed();
}

bool isPromptKeyForwardingEnabled() { return promptKeyForwardingEnabled; }
void setPromptKeyForwardingEnabled(bool enabled) { promptKeyForwardingEnabled = enabled; }

}  // namespace tessra
