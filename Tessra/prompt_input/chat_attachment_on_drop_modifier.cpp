#include "Tessra/prompt_input/chat_attachment_on_drop_modifier.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QWidget>

#include "Tessra/prompt_input/attachment_sources.h"
#include "Tessra/prompt_input/pending_attachment.h"

namespace tessra {

namespace {
constexpr qreal kShade = 0.7;
constexpr int kSymbolSize = 60;
}  // namespace

// The dark layer with a white plus in a circle.
class ChatAttachmentOnDropModifier::Overlay : public QWidget {
 public:
  explicit Overlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(255 * kShade)));
    const QRectF circle(rect().center().x() - kSymbolSize / 2.0,
                        rect().center().y() - kSymbolSize / 2.0, kSymbolSize, kSymbolSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(circle);
    painter.setPen(QPen(QColor(0, 0, 0, qRound(255 * kShade)), kSymbolSize / 10.0, Qt::SolidLine,
                        Qt::RoundCap));
    const QPointF c = circle.center();
    const qreal arm = kSymbolSize * 0.25;
    painter.drawLine(c - QPointF(arm, 0), c + QPointF(arm, 0));
    painter.drawLine(c - QPointF(0, arm), c + QPointF(0, arm));
  }
};

ChatAttachmentOnDropModifier::ChatAttachmentOnDropModifier(QWidget* target,
                                                           PendingAttachment* chatAttachment)
    : QObject(target),
      m_target(target),
      m_chatAttachment(chatAttachment),
      m_overlay(new Overlay(target)) {
  target->setAcceptDrops(true);
  target->installEventFilter(this);
}

QWidget* ChatAttachmentOnDropModifier::overlay() const { return m_overlay; }

bool ChatAttachmentOnDropModifier::handleDrop(const QMimeData* mime) {
  return m_chatAttachment->take(fromDrop(mime));
}

void ChatAttachmentOnDropModifier::setTargeted(bool targeted) {
  m_isTargeted = targeted;
  if (targeted) {
    m_overlay->setGeometry(m_target->rect());
    m_overlay->raise();
  }
  m_overlay->setVisible(targeted);
}

bool ChatAttachmentOnDropModifier::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_target) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter: {
      auto* drag = static_cast<QDragEnterEvent*>(event);
      if (!offersAttachment(drag->mimeData())) return false;
      drag->acceptProposedAction();
      setTargeted(true);
      return true;
    }
    case QEvent::DragMove:
      static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
      return true;
    case QEvent::DragLeave:
      setTargeted(false);
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      setTargeted(false);
      if (handleDrop(drop->mimeData()))
        drop->acceptProposedAction();
      else
        drop->ignore();
      return true;
    }
    case QEvent::Resize:
      m_overlay->setGeometry(m_target->rect());
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tessra
