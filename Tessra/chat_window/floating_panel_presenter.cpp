#include "Tessra/chat_window/floating_panel_presenter.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "Tessra/storage/notification_names.h"
#include "platform/foundation/logger.h"
#include "platform/ui/held_keys.h"
#include "platform/ui/screens.h"

namespace tessra {

FloatingPanelPresenter::FloatingPanelPresenter(ChatViewSignals& hub,
                                               std::function<QRect()> contentRect, bool center,
                                               bool hasBackground, ContentFactory view,
                                               QObject* parent)
    : QObject(parent),
      m_signals(&hub),
      m_contentRect(std::move(contentRect)),
      m_center(center),
      m_hasBackground(hasBackground),
      m_view(std::move(view)) {
  QPointer<FloatingPanelPresenter> self(this);
  m_resizeObserver = platform::NotificationCenter::defaultCenter().addObserver(
      std::string(notification_names::kWillResizeGptWindow), [self](const platform::Notification&) {
        if (self) self->setPresented(false);
      });
}

FloatingPanelPresenter::~FloatingPanelPresenter() { dropPanel(); }

void FloatingPanelPresenter::setPresented(bool presented) {
  if (presented == m_isPresented) return;
  m_isPresented = presented;
  if (presented) {
    open();
  } else {
    dropPanel();
  }
  emit isPresentedChanged(m_isPresented);
}

void FloatingPanelPresenter::open() {
  QRect rect = m_contentRect ? m_contentRect() : QRect();
  if (m_center) {
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) screen = platform::Screens::mainScreen();
    if (screen) rect.moveCenter(platform::Screens::workArea(screen).center());
  }
  QPointer<FloatingPanelPresenter> self(this);
  // Opened over the chat: when the chat's window goes, the panels opened over it go too.
  auto* panel = new FloatingPanel(rect,
                                  BoolBinding{[self] { return self && self->m_isPresented; },
                                              [self](bool value) {
                                                if (self) self->setPresented(value);
                                              }},
                                  m_hasBackground, qobject_cast<QWidget*>(parent()));
  QWidget* content = m_view ? m_view(*panel) : nullptr;
  if (!content) {
    platform::logError("A floating panel has no content to show");
    delete panel;
    m_isPresented = false;
    return;
  }
  panel->setContent(content);
  m_panel = panel;
  // A panel destroyed by anyone else still counts down once.
  connect(panel, &QObject::destroyed, this, [this] {
    if (!m_panel.isNull() || !m_isPresented) return;
    countOverlay(-1);
    m_isPresented = false;
    emit isPresentedChanged(false);
  });
  countOverlay(+1);
  platform::holdKeysFor(panel);
  panel->present();
}

void FloatingPanelPresenter::dropPanel() {
  FloatingPanel* panel = m_panel;
  if (!panel) return;
  m_panel = nullptr;
  disconnect(panel, &QObject::destroyed, this, nullptr);
  panel->close();
  panel->deleteLater();
  countOverlay(-1);
}

void FloatingPanelPresenter::countOverlay(int delta) {
  if (!m_signals) return;
  m_signals->setOverlayCount(std::max(0, m_signals->overlayCount() + delta));
}

}  // namespace tessra
