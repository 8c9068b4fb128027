#include "Tessra/chat_window/first_appear_modifier.h"

#include <QEvent>

namespace tessra {

FirstAppearModifier::FirstAppearModifier(QWidget* content) : QObject(content) {
  content->installEventFilter(this);
}

bool FirstAppearModifier::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && !m_appeared) {
    m_appeared = true;
    // What runs may change the widget's tree; the modifier has no more use for the events.
    watched->removeEventFilter(this);
    emit firstAppeared();
  }
  return false;
}

FirstAppearModifier* onFirstAppear(QWidget* content, std::function<void()> action) {
  auto* modifier = new FirstAppearModifier(content);
  QObject::connect(modifier, &FirstAppearModifier::firstAppeared, content, std::move(action));
  return modifier;
}

}  // namespace tessra
