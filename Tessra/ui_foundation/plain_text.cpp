#include "Tessra/ui_foundation/plain_text.h"

#include <QMimeData>

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

void PlainTextArea::insertFromMimeData(const QMimeData* source) {
  // A clipboard that served nothing gives an empty text, and an empty paste changes nothing.
  if (source != nullptr) insertPlainText(source->text());
}

}  // namespace tessra
