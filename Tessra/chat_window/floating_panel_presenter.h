// Presents one kind of floating panel over a chat window while its flag is on, and keeps the
// window's count of open panels (`ChatViewSignals::overlayCount`), which dims the chat.
//
//   auto* topics = new FloatingPanelPresenter(signals, [this] { return panelRect(0.8, 0.6); },
//                                             false, true, makeTopicList, this);
//   topics->toggle();  // opens a fresh panel; again closes it
//
// Each time the flag turns on, a fresh panel is made at the rectangle `contentRect` gives at that
// moment, with content from the factory, shown and given the keyboard; made by a presenter whose
// parent is a widget, it is a window opened over that widget's window. The keys typed from the
// moment it is asked for until it has the keyboard are held for it. The flag turns off when
// the presenter is told so, when the panel closes itself (the focus left it, its content closed
// it), and when the floating chat window is about to resize ("willResizeGptWindow"). The count
// goes up once for each panel shown and down once when that panel goes, however it goes (the
// presenter being destroyed too), and never below 0.
//
// GUI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

#include "Tessra/chat_window/chat_view_signals.h"
#include "Tessra/chat_window/floating_panel.h"
#include "platform/foundation/notification_center.h"

namespace tessra {

class FloatingPanelPresenter final : public QObject {
  Q_OBJECT

 public:
  // Builds the content of a new panel; the panel is given so the content can close it. Null
  // leaves the panel unopened.
  using ContentFactory = std::function<QWidget*(FloatingPanel& panel)>;

  FloatingPanelPresenter(ChatViewSignals& hub, std::function<QRect()> contentRect, bool center,
                         bool hasBackground, ContentFactory view, QObject* parent = nullptr);
  ~FloatingPanelPresenter() override;

  bool isPresented() const { return m_isPresented; }
  void setPresented(bool presented);
  void toggle() { setPresented(!m_isPresented); }

  // The panel shown now, else null.
  FloatingPanel* panel() const { return m_panel; }
  void setContentFactory(ContentFactory view) { m_view = std::move(view); }

 signals:
  void isPresentedChanged(bool presented);

 private:
  void open();
  // Closes and releases the live panel, counting it down once.
  void dropPanel();
  void countOverlay(int delta);

  QPointer<ChatViewSignals> m_signals;
  std::function<QRect()> m_contentRect;
  bool m_center;
  bool m_hasBackground;
  ContentFactory m_view;
  bool m_isPresented = false;
  QPointer<FloatingPanel> m_panel;
  platform::NotificationCenter::ObserverToken m_resizeObserver;
};

}  // namespace tessra
