// The yes-or-no question asked before an action that cannot be undone (closing the onboarding
// quits the program): a modal warning box with "OK" and "Cancel"; and the width every message box
// of the program takes.
//
//   if (confirm(tr("Are you sure?"), tr("Closing this window will quit Tessra Ai."))) quit();
//
// GUI thread only; it blocks in a local event loop until the user answers.
#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace tessra {

// True exactly when the user chose "OK"; Cancel, Escape and closing the box give false. The box
// is application-modal, over `parent` when one is given.
bool confirm(const QString& message, const QString& informativeText, QWidget* parent = nullptr);

// Makes `box` as wide as its texts (up to a reading width), so that a short question is not
// wrapped into a narrow column under a cut title. Call it once the texts, icon and buttons are
// set, before the box is shown.
void widenToItsText(QMessageBox& box);

}  // namespace tessra
