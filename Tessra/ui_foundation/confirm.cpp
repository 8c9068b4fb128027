#include "Tessra/ui_foundation/confirm.h"

#include <QMessageBox>
#include <QPushButton>

namespace tessra {

bool confirm(const QString& message, const QString& informativeText, QWidget* parent) {
  QMessageBox box(parent);
  box.setObjectName(QStringLiteral("confirm"));
  box.setIcon(QMessageBox::Warning);
  box.setWindowModality(Qt::ApplicationModal);
  box.setText(message);
  box.setInformativeText(informativeText);
  // Fixed English titles, as the alert has them, in the order OK then Cancel.
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == ok;
}

}  // namespace tessra
