#include "Tessra/chat_window/first_appear_modifier.h"

#include <QEvent>

namespace tessra {

FirstAppearModifier::FirstAppearModifier(QWidget* content, std::function<void()> action)
    : QObject(content), m_action(std::move(action)) {
  content->installEventFilter(this);
}

bool FirstAppearModifier::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && !m_appeared) {
    m_appeared = true;
    // The action may change the widget's tree; the modifier has no more use for the events.
    watched->removeEventFilter(this);
    if (m_action) m_action();
  }
  return false;
}

FirstAppearModifier* onFirstAppear(QWidget* content, std::function<void()> action) {
  return new FirstAppearModifier(content, std::move(action));
}

}  // namespace tessra
