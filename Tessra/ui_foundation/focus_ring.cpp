#include "Tessra/ui_foundation/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

QPointer<FocusRing> g_ring;

constexpr qreal kRadius = 6;

class RingView final : public QWidget {
 public:
  explicit RingView(QWidget* window) : QWidget(window) {
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette::accent(), FocusRing::kWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = FocusRing::kWidth / 2.0;
    const qreal radius = kRadius + FocusRing::kOffset;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), radius, radius);
  }
};

// Whether a control that takes the keyboard for `reason` shows the ring. The mark on the window
// is Qt's own: set when a key moves its focus, kept when the window gets the keyboard back.
bool showsRing(QWidget* focus, Qt::FocusReason reason) {
  QWidget* window = focus->window();
  switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
      window->setAttribute(Qt::WA_KeyboardFocusChange);
      return true;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
      return window->testAttribute(Qt::WA_KeyboardFocusChange);
    default:
      window->setAttribute(Qt::WA_KeyboardFocusChange, false);
      return false;
  }
}

}  // namespace

void FocusRing::install() {
  if (g_ring) return;
  g_ring = new FocusRing(qApp);
}

FocusRing* FocusRing::current() { return g_ring; }

FocusRing::FocusRing(QObject* parent) : QObject(parent) {
  // Focus events carry why the focus moved, which the application's focus signal does not.
  qApp->installEventFilter(this);
}

QWidget* FocusRing::target() const {
  return m_ring && m_ring->isVisible() ? m_target.data() : nullptr;
}

void FocusRing::follow(QWidget* focus, Qt::FocusReason reason) {
  if (focus->isWindow() || !showsRing(focus, reason)) {
    m_target = nullptr;
    if (m_ring) m_ring->hide();
    return;
  }
  m_target = focus;
  if (!m_ring || m_ring->parentWidget() != focus->window()) {
    delete m_ring;
    m_ring = new RingView(focus->window());
  }
  place();
}

void FocusRing::place() {
  if (!m_ring) return;
  if (!m_target || !m_target->isVisible()) {
    m_ring->hide();
    return;
  }
  const QPoint origin = m_target->mapTo(m_target->window(), QPoint(0, 0));
  const int margin = kOffset + kWidth;
  // Around the control, and inside its window where the control meets the window's edge.
  m_ring->setGeometry(QRect(origin, m_target->size())
                          .adjusted(-margin, -margin, margin, margin)
                          .intersected(m_target->window()->rect()));
  m_ring->raise();
  m_ring->show();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
      if (watched->isWidgetType())
        follow(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
      break;
    // The control, or a parent of it, moved, resized, showed or hid.
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
      if (m_target && watched->isWidgetType() && watched != m_ring &&
          (watched == m_target || static_cast<QWidget*>(watched)->isAncestorOf(m_target)))
        place();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace tessra
