// How the embedded browser's frames reach the screen. Qt Quick draws them into the window; where
// OpenGL itself is drawn in software (a virtual machine, a remote desktop, a display without a
// GPU), its OpenGL renderer costs several times what its software renderer costs for every frame
// the message page shows, so there the software renderer draws them.
//
//   chooseBrowserRendering();  // in main, after the application, before the first web view
//
// A renderer chosen with QT_QUICK_BACKEND stands. GUI thread only.
#pragma once

namespace tessra {

void chooseBrowserRendering();

}  // namespace tessra
