#include "Tessra/ui_foundation/confirm.h"

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include <algorithm>

namespace tessra {

namespace {

// Lines longer than this wrap.
constexpr int kReadingWidth = 420;

}  // namespace

void widenToItsText(QMessageBox& box) {
  // Left to itself, the box takes the narrowest wrapping of its informative text: three lines
  // in a box of 188 pixels for "Closing this window will quit Tessra Ai.".
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  auto* text = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (grid == nullptr || text == nullptr || grid->indexOf(text) < 0) return;
  int width = text->fontMetrics().horizontalAdvance(box.windowTitle());
  for (const QLabel* label :
       {text, box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))}) {
    if (label == nullptr) continue;
    // The narrowest width at which the label is no higher than at the reading width.
    const int height = label->heightForWidth(kReadingWidth);
    int fitting = std::min(label->fontMetrics().horizontalAdvance(label->text()), kReadingWidth);
    while (fitting < kReadingWidth && label->heightForWidth(fitting) > height) fitting += 4;
    width = std::max(width, fitting);
  }
  int row = 0;
  int column = 0;
  int rows = 0;
  int columns = 0;
  grid->getItemPosition(grid->indexOf(text), &row, &column, &rows, &columns);
  // Holds the texts' column open.
  grid->addItem(
      new QSpacerItem(std::min(width, kReadingWidth), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
      grid->rowCount(), column);
}

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
  widenToItsText(box);
  box.exec();
  return box.clickedButton() == ok;
}

}  // namespace tessra
