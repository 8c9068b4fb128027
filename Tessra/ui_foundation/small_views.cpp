#include "Tessra/ui_foundation/small_views.h"

#include <QEnterEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

#include "Tessra/ui_foundation/color_emoji.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

namespace {

constexpr double kKeySide = 20;
constexpr double kKeyRim = 1.5;
// Room on each side of a word on a widened cap.
constexpr double kKeyTextMargin = 4;
// The hint's arrow: how far it reaches out of the hint's body, and its width where it meets it.
constexpr int kArrowLength = 8;
constexpr int kArrowWidth = 16;
constexpr int kHintPadding = 12;

// The outline of a hint of `size` whose arrow sits in the middle of `edge`, pointing away from
// the body: the body fills the rest of the window.
QRegion hintShape(QSize size, Qt::Edge edge) {
  const int w = size.width();
  const int h = size.height();
  const int half = kArrowWidth / 2;
  QRect body(0, 0, w, h);
  QPolygon arrow;
  switch (edge) {
    case Qt::TopEdge:
      body.setTop(kArrowLength);
      arrow << QPoint(w / 2 - half, kArrowLength) << QPoint(w / 2, 0)
            << QPoint(w / 2 + half, kArrowLength);
      break;
    case Qt::BottomEdge:
      body.setBottom(h - 1 - kArrowLength);
      arrow << QPoint(w / 2 - half, h - kArrowLength) << QPoint(w / 2, h)
            << QPoint(w / 2 + half, h - kArrowLength);
      break;
    case Qt::LeftEdge:
      body.setLeft(kArrowLength);
      arrow << QPoint(kArrowLength, h / 2 - half) << QPoint(0, h / 2)
            << QPoint(kArrowLength, h / 2 + half);
      break;
    case Qt::RightEdge:
      body.setRight(w - 1 - kArrowLength);
      arrow << QPoint(w - kArrowLength, h / 2 - half) << QPoint(w, h / 2)
            << QPoint(w - kArrowLength, h / 2 + half);
      break;
  }
  return QRegion(body).united(QRegion(arrow));
}

QFont sizedFont(QFont font, int pixelSize, QFont::Weight weight = QFont::Normal) {
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

void setBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

// A combination written in words ("Ctrl+T", "Ctrl++") is one cap per key; any other text, one per
// character ("⌃T").
QStringList keyCaps(const QString& keys) {
  QStringList caps;
  if (keys.size() < 2 || !keys.contains(u'+')) {
    for (const QChar key : keys) caps.append(key);
    return caps;
  }
  QString current;
  for (const QChar c : keys) {
    // A "+" right after a separator is the key itself.
    if (c == u'+' && !current.isEmpty()) {
      caps.append(std::exchange(current, {}));
      continue;
    }
    current += c;
  }
  if (!current.isEmpty()) caps.append(current);
  return caps;
}

void setTextColor(QLabel* label, const QColor& color) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
}

}  // namespace

BadgeLabel::BadgeLabel(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
  setFont(sizedFont(font(), 12));
}

QSize BadgeLabel::sizeHint() const {
  return fontMetrics().size(Qt::TextSingleLine, m_text) + QSize(24, 8);
}

void BadgeLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath capsule;
  const qreal radius = std::min<qreal>(20, height() / 2.0);
  capsule.addRoundedRect(QRectF(rect()), radius, radius);
  painter.fillPath(capsule, palette::systemBlue());
  painter.setPen(palette::white());
  painter.drawText(rect(), Qt::AlignCenter, m_text);
}

KeyView::KeyView(const QString& text, QWidget* parent) : QWidget(parent), m_text(text) {
  QFont font = sizedFont(this->font(), 13, QFont::Bold);
  font.setStyleHint(QFont::Monospace);
  font.setFamily(QStringLiteral("monospace"));
  setFont(font);
  setFixedSize(sizeHint());
}

QRectF KeyView::capRect() const {
  const double textWidth = fontMetrics().horizontalAdvance(m_text) + 2 * kKeyTextMargin;
  return {kKeyRim, kKeyRim, std::max(kKeySide, std::ceil(textWidth)), kKeySide};
}

QSize KeyView::sizeHint() const {
  return {static_cast<int>(capRect().width() + 2 * kKeyRim),
          static_cast<int>(std::ceil(kKeySide + 3 * kKeyRim))};
}

void KeyView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF cap = capRect();
  const QRectF rim = cap.adjusted(-kKeyRim, -kKeyRim, kKeyRim, kKeyRim);
  for (const QRectF& layer : {rim, rim.translated(0, kKeyRim)}) {
    QPainterPath path;
    path.addRoundedRect(layer, 6, 6);
    painter.fillPath(path, palette::tertiaryBackground());
  }
  QPainterPath capPath;
  capPath.addRoundedRect(cap, 4, 4);
  painter.fillPath(capPath, palette::keyCap());
  painter.setPen(palette::white());
  painter.drawText(cap, Qt::AlignCenter, m_text);
}

HintPopover::HintPopover(QWidget* target, QString message, std::optional<QString> keys,
                         Qt::Edge arrowEdge)
    : QObject(target),
      m_target(target),
      m_message(std::move(message)),
      m_keys(std::move(keys)),
      m_arrowEdge(arrowEdge) {
  target->setAttribute(Qt::WA_Hover);
  target->installEventFilter(this);
}

HintPopover::~HintPopover() { hide(); }

bool HintPopover::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_target) {
    if (event->type() == QEvent::Enter) {
      m_isHovered = true;
      show();
    } else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide) {
      m_isHovered = false;
      hide();
    }
  }
  return QObject::eventFilter(watched, event);
}

void HintPopover::show() {
  if (m_popup || !m_target) return;
  auto* popup = new QWidget(m_target, Qt::ToolTip | Qt::FramelessWindowHint);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->setAttribute(Qt::WA_ShowWithoutActivating);
  setBackground(popup, palette::background());
  auto* row = new QHBoxLayout(popup);
  // Room for the arrow on its edge, beside the padding of the content.
  row->setContentsMargins(kHintPadding + (m_arrowEdge == Qt::LeftEdge ? kArrowLength : 0),
                          kHintPadding + (m_arrowEdge == Qt::TopEdge ? kArrowLength : 0),
                          kHintPadding + (m_arrowEdge == Qt::RightEdge ? kArrowLength : 0),
                          kHintPadding + (m_arrowEdge == Qt::BottomEdge ? kArrowLength : 0));
  auto* message = plainLabel(m_message, popup);
  setTextColor(message, palette::white());
  row->addWidget(message, 0, Qt::AlignVCenter);
  if (m_keys) {
    for (const QString& key : keyCaps(*m_keys))
      row->addWidget(new KeyView(key, popup), 0, Qt::AlignVCenter);
  }
  popup->adjustSize();
  // A window shape rather than a translucent window: it needs no compositing manager.
  popup->setMask(hintShape(popup->size(), m_arrowEdge));

  const QRect target(m_target->mapToGlobal(QPoint(0, 0)), m_target->size());
  const QSize size = popup->size();
  QPoint origin;
  switch (m_arrowEdge) {
    case Qt::TopEdge:
      origin = {target.center().x() - size.width() / 2, target.bottom() + 1};
      break;
    case Qt::BottomEdge:
      origin = {target.center().x() - size.width() / 2, target.top() - size.height()};
      break;
    case Qt::LeftEdge:
      origin = {target.right() + 1, target.center().y() - size.height() / 2};
      break;
    case Qt::RightEdge:
      origin = {target.left() - size.width(), target.center().y() - size.height() / 2};
      break;
  }
  popup->move(origin);
  popup->show();
  m_popup = popup;
}

void HintPopover::hide() {
  if (m_popup) m_popup->close();
  m_popup = nullptr;
}

ConfirmationView::ConfirmationView(const std::function<Configuration(Configuration)>& configure,
                                   BoolBinding isPresented, const QString& defaultConfirmText,
                                   const QString& defaultCancelText, QWidget* parent)
    : QWidget(parent), m_isPresented(std::move(isPresented)) {
  Configuration defaults;
  defaults.confirmActionText = defaultConfirmText;
  defaults.cancelActionText = defaultCancelText;
  defaults.confirmAction = [] {};
  defaults.cancelAction = [] {};
  m_configuration = configure ? configure(std::move(defaults)) : std::move(defaults);
  const bool destructive = m_configuration.style == Style::destructive;

  setFixedWidth(300);
  // Drawn as a card by `paintEvent`, rounded like the other sheets over the panel.
  setAttribute(Qt::WA_TranslucentBackground);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto* header = new QWidget(this);
  auto* headerColumn = new QVBoxLayout(header);
  headerColumn->setSpacing(12);
  m_emoji = plainLabel(emoji(), header);
  m_emoji->setFont(colorEmojiFont(sizedFont(font(), 46)));
  m_emoji->setAlignment(Qt::AlignCenter);
  auto* title = plainLabel(m_configuration.title, header);
  title->setObjectName(QStringLiteral("title"));
  title->setWordWrap(true);
  title->setAlignment(Qt::AlignCenter);
  setTextColor(title, palette::white());
  headerColumn->addWidget(m_emoji);
  headerColumn->addWidget(title);
  column->addWidget(header);

  // The line between the title and the buttons is painted with the card.
  column->addSpacing(1);

  auto* buttons = new QWidget(this);
  m_buttonRow = buttons;
  auto* row = new QHBoxLayout(buttons);
  row->setSpacing(8);
  row->addStretch(1);
  m_cancel = new FlatButton(m_configuration.cancelActionText,
                            {.prominent = true, .customBase = palette::background()}, buttons);
  m_confirm = new FlatButton(
      m_configuration.confirmActionText,
      {.prominent = true, .customBase = destructive ? palette::destructive() : palette::accent()},
      buttons);
  row->addWidget(m_cancel);
  row->addWidget(m_confirm);
  column->addWidget(buttons);

  connect(m_cancel, &QAbstractButton::clicked, this,
          [this] { perform(m_configuration.cancelAction); });
  connect(m_confirm, &QAbstractButton::clicked, this,
          [this] { perform(m_configuration.confirmAction); });
}

void ConfirmationView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath card;
  card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
  painter.setClipPath(card);
  painter.fillRect(rect(), palette::background());
  const QRect row = m_buttonRow->geometry();
  painter.fillRect(QRect(0, row.top(), width(), height() - row.top()),
                   palette::secondaryBackground());
  painter.fillRect(QRect(0, row.top() - 1, width(), 1), palette::divider());
  painter.setClipping(false);
  painter.setPen(QPen(palette::border(), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(card);
}

QString ConfirmationView::emoji() const {
  return m_configuration.style == Style::destructive ? QStringLiteral("⚠️")
                                                     : QStringLiteral("💬");
}

void ConfirmationView::perform(const std::function<void()>& action) {
  if (m_isPresented.set) m_isPresented.set(false);
  if (action) action();
}

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
}

QColor ToggleSwitch::currentTrack() const {
  return isChecked() ? palette::systemGreen() : palette::secondaryBackground();
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
  const qreal radius = track.height() / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(currentTrack());
  painter.drawRoundedRect(track, radius, radius);
  const qreal knob = track.height() - 4;
  const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
  painter.setBrush(palette::white());
  painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

SettingsToggleView::SettingsToggleView(const QString& title, BoolBinding isOn, QWidget* parent)
    : QWidget(parent), m_isOn(std::move(isOn)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  m_title = plainLabel(title, this);
  m_toggle = new ToggleSwitch(this);
  row->addWidget(m_title);
  row->addStretch(1);
  row->addWidget(m_toggle);
  refresh();
  connect(m_toggle, &QAbstractButton::toggled, this, [this](bool on) {
    if (m_isOn.set) m_isOn.set(on);
    // The owner may refuse the value; the switch shows what the binding holds.
    refresh();
  });
}

void SettingsToggleView::refresh() {
  const bool on = m_isOn.get && m_isOn.get();
  if (m_toggle->isChecked() == on) return;
  const QSignalBlocker blocker(m_toggle);
  m_toggle->setChecked(on);
  m_toggle->update();
}

}  // namespace tessra
