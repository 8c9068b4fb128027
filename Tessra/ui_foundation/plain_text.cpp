#include "Tessra/ui_foundation/plain_text.h"

namespace tessra {

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  return label;
}

QString menuText(const QString& text) {
  QString escaped = text;
  escaped.replace(u'&', QStringLiteral("&&"));
  escaped.replace(u'\t', u' ');
  return escaped;
}

QString windowTitleText(const QString& text) {
  QString escaped = text;
  // Qt shows a doubled placeholder as one and drops a single one.
  escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  return escaped;
}

}  // namespace tessra
