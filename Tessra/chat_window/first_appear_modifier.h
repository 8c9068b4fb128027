// Tells the first time a widget is shown, and never again for that widget, however often it is
// hidden and shown afterwards.
//
//   onFirstAppear(sidePane, [this] { loadConversations(); });
//   connect(new FirstAppearModifier(sidePane), &FirstAppearModifier::firstAppeared, ...);
//
// The modifier is a child of the widget, so it lives exactly as long as the widget does: a new
// widget starts afresh. GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace tessra {

class FirstAppearModifier final : public QObject {
  Q_OBJECT

 public:
  explicit FirstAppearModifier(QWidget* content);

  bool appeared() const { return m_appeared; }

 signals:
  void firstAppeared();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool m_appeared = false;
};

// Installs a FirstAppearModifier on `content` that runs `action` and returns it (owned by
// `content`). A widget already visible runs the action at its next show.
FirstAppearModifier* onFirstAppear(QWidget* content, std::function<void()> action);

}  // namespace tessra
