// The program's look: the Fusion style with the dark palette, whatever the desktop's theme.
#pragma once

class QApplication;

namespace tessra {

void applyDarkAppearance(QApplication& application);

}  // namespace tessra
