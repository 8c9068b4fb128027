// The program's look: the Fusion style with the dark palette and the program's own standard icons,
// whatever the desktop's theme.
#pragma once

class QApplication;

namespace tessra {

void applyDarkAppearance(QApplication& application);

}  // namespace tessra
