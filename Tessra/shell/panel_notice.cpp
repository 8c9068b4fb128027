#include "Tessra/shell/panel_notice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "Tessra/ui_foundation/button_styles.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "shortcuts/recorder_texts.h"

namespace tessra {
namespace {

constexpr int kCornerRadius = 10;

}  // namespace

PanelNotice::PanelNotice(QWidget* parent)
    : QWidget(parent),
      m_title(plainLabel({}, this)),
      m_text(plainLabel({}, this)),
      m_ok(new FlatButton(shortcuts::recorderText("ok"), {}, this)) {
  setAttribute(Qt::WA_TranslucentBackground);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);
  m_text->setWordWrap(true);
  for (QLabel* label : {m_title, m_text}) {
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, palette::label());
    label->setPalette(colors);
  }

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(m_title);
  texts->addWidget(m_text);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(14, 10, 10, 10);
  row->setSpacing(12);
  row->addLayout(texts, 1);
  row->addWidget(m_ok, 0, Qt::AlignVCenter);
  connect(m_ok, &QAbstractButton::clicked, this, [this] {
    hide();
    emit dismissed();
  });
}

void PanelNotice::setTexts(const QString& title, const QString& text) {
  m_title->setText(title);
  m_text->setText(text);
}

QString PanelNotice::title() const { return m_title->text(); }

QString PanelNotice::text() const { return m_text->text(); }

int PanelNotice::heightForWidth(int width) const { return layout()->totalHeightForWidth(width); }

void PanelNotice::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette::selectedRow(), 1));
  painter.setBrush(palette::tertiaryBackground());
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                          kCornerRadius);
}

}  // namespace tessra
