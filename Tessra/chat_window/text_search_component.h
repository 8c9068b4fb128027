// The bar that searches the conversation shown in the message page. It has no search logic of
// its own: Return sends the text to the page through the window's hub, the arrows step through
// the page's matches, and hiding the bar ends the page's search.
//
//   auto* bar = new TextSearchComponent(hub, ChatSource::master, column);
//   connect(bar, &TextSearchComponent::closeRequested, this, [this] { setSearchVisible(false); });
//
// The arrows show once a search has been committed (the page reports no count back) and stay
// until the bar hides; each showing starts again without them and moves the keyboard into the
// field a moment after the bar appears, with the keys typed meanwhile. GUI thread only.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include "Tessra/chat_window/action_button_style.h"
#include "Tessra/chat_window/chat_source.h"
#include "Tessra/chat_window/chat_view_signals.h"

namespace tessra {

class TextSearchComponent final : public QWidget {
  Q_OBJECT

 public:
  // What a committed search sets the result gate to.
  static constexpr int kCommittedResults = 10;
  static constexpr int kFocusDelayMilliseconds = 200;

  TextSearchComponent(ChatViewSignals& hub, ChatSource source, QWidget* parent = nullptr);

  QString searchText() const { return m_field->text(); }
  void setSearchText(const QString& text) { m_field->setText(text); }
  int totalSearchResults() const { return m_totalSearchResults; }
  ChatSource chatSource() const { return m_source; }

  QLineEdit* field() const { return m_field; }
  ActionButton* previousButton() const { return m_previous; }
  ActionButton* nextButton() const { return m_next; }
  ActionButton* closeButton() const { return m_close; }

 signals:
  // The close button was pressed: the owner hides the bar.
  void closeRequested();

 protected:
  bool event(QEvent* event) override;

 private:
  void commit();
  void setTotalSearchResults(int count);
  void send(MessageUpdate update);

  QPointer<ChatViewSignals> m_signals;
  ChatSource m_source;
  QLineEdit* m_field;
  ActionButton* m_previous;
  ActionButton* m_next;
  ActionButton* m_close;
  int m_totalSearchResults = 0;
  bool m_shown = false;
};

}  // namespace tessra
