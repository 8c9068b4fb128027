#include "Tessra/chat_window/chat_view_signals.h"

namespace tessra {

ChatViewSignals::ChatViewSignals(QObject* parent) : QObject(parent) {}

void ChatViewSignals::setOverlayCount(int count) {
  if (count == m_overlayCount) return;
  m_overlayCount = count;
  emit overlayCountChanged(count);
}

}  // namespace tessra
