#include "Tessra/prompt_input/borderless_window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include "platform/ui/animations.h"
#include "platform/ui/x11_properties.h"

namespace tessra {

namespace {

constexpr int kFadeMilliseconds = 100;

}  // namespace

BorderlessWindow::BorderlessWindow(QWidget* anchor, QWidget* content,
                                   BorderlessWindowBehavior behavior, QPointF anchorPoint,
                                   QPointF windowAnchor, QPoint offset)
    : QWidget(anchor, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_anchor(anchor),
      m_content(content),
      m_behavior(behavior),
      m_anchorPoint(anchorPoint),
      m_windowAnchor(windowAnchor),
      m_offset(offset),
      m_fade(new QPropertyAnimation(this, "windowOpacity", this)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  xcb_connection_t* connection = platform::x11::connection();
  if (connection && platform::x11::isCompositorRunning(connection))
    setAttribute(Qt::WA_TranslucentBackground);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content);
  m_fade->setEasingCurve(QEasingCurve::InQuad);
  m_fade->setEndValue(0.0);
  connect(m_fade, &QPropertyAnimation::finished, this, &BorderlessWindow::finishHiding);
  anchor->installEventFilter(this);
  if (m_behavior != BorderlessWindowBehavior::applicationDefined) qApp->installEventFilter(this);
}

BorderlessWindow::~BorderlessWindow() = default;

void BorderlessWindow::setShown(bool shown) {
  if (shown == m_shown) return;
  m_shown = shown;
  if (shown) {
    m_fade->stop();
    setWindowOpacity(1.0);
    watchAnchorWindow();
    adjustSize();
    place();
    show();
    raise();
    return;
  }
  if (testAttribute(Qt::WA_TranslucentBackground)) {
    m_fade->setStartValue(windowOpacity());
    m_fade->setDuration(platform::animationDuration(kFadeMilliseconds));
    m_fade->start();
  } else {
    finishHiding();
  }
}

void BorderlessWindow::finishHiding() {
  if (!m_shown) hide();
}

void BorderlessWindow::place() {
  if (!m_anchor) return;
  const QRect anchor(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
  const QPointF anchorPoint(anchor.x() + anchor.width() * m_anchorPoint.x(),
                            anchor.y() + anchor.height() * m_anchorPoint.y());
  const QSize size = sizeHint().expandedTo(minimumSize());
  const QPointF windowPoint(size.width() * m_windowAnchor.x(), size.height() * m_windowAnchor.y());
  const QPointF origin = anchorPoint - windowPoint + m_offset;
  const QPoint topLeft(qRound(origin.x()), qRound(origin.y()));
  if (pos() != topLeft || this->size() != size) setGeometry(QRect(topLeft, size));
}

void BorderlessWindow::watchAnchorWindow() {
  QWidget* window = m_anchor ? m_anchor->window() : nullptr;
  if (window == m_watchedWindow) return;
  if (m_watchedWindow) m_watchedWindow->removeEventFilter(this);
  m_watchedWindow = window;
  // The anchor moves on screen with every widget between it and its window, also where it keeps
  // its place in its parent: a new size of the window lays out the prompt's row anew.
  for (QWidget* ancestor = m_anchor ? m_anchor->parentWidget() : nullptr; ancestor != nullptr;
       ancestor = ancestor->parentWidget())
    ancestor->installEventFilter(this);
}

bool BorderlessWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
      if (m_shown && m_anchor && watched->isWidgetType() &&
          (watched == m_anchor || static_cast<QWidget*>(watched)->isAncestorOf(m_anchor)))
        place();
      break;
    case QEvent::Hide:
      // A pop-up never outlives its anchor's window on screen.
      if (m_shown && watched == m_watchedWindow) hide();
      break;
    case QEvent::Show:
      if (m_shown && watched == m_watchedWindow && isHidden()) {
        place();
        show();
      }
      break;
    case QEvent::MouseButtonPress: {
      if (!m_shown || m_behavior == BorderlessWindowBehavior::applicationDefined) break;
      auto* widget = qobject_cast<QWidget*>(watched);
      if (!widget) break;
      const QWidget* window = widget->window();
      if (window == this) break;
      if (m_behavior == BorderlessWindowBehavior::semitransient && m_anchor &&
          window == m_anchor->window())
        break;
      setShown(false);
      emit shownChanged(false);
      return true;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tessra
