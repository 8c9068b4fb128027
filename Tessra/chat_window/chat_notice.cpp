#include "Tessra/chat_window/chat_notice.h"

#include "Tessra/ui_foundation/plain_text.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Tessra/ui_foundation/palette.h"

namespace tessra {

namespace {

QLabel* noticeLabel(QWidget* parent) {
  // What is shown comes from the system and from file names.
  QLabel* label = plainLabel({}, parent);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

ChatNotice::ChatNotice(QWidget* parent)
    : QFrame(parent), m_text(noticeLabel(this)), m_reason(noticeLabel(this)) {
  setObjectName(QStringLiteral("chatNotice"));
  setStyleSheet(QStringLiteral("QFrame#chatNotice { background: %1; border-left: 3px solid %2; }"
                               "QLabel { color: %3; }"
                               "QLabel#reason { color: %4; font-size: 12px; }")
                    .arg(palette::secondaryBackground().name(), palette::warning().name(),
                         palette::text().name(), palette::mutedText().name()));
  m_reason->setObjectName(QStringLiteral("reason"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 8);
  layout->setSpacing(2);
  layout->addWidget(m_text);
  layout->addWidget(m_reason);
  hide();
}

void ChatNotice::present(const QString& text, const QString& reason) {
  m_text->setText(text);
  m_reason->setText(reason);
  m_reason->setVisible(!reason.isEmpty());
  show();
}

void ChatNotice::dismiss() {
  hide();
  m_text->clear();
  m_reason->clear();
}

QString ChatNotice::text() const { return isHidden() ? QString() : m_text->text(); }

QString ChatNotice::reason() const { return isHidden() ? QString() : m_reason->text(); }

}  // namespace tessra
