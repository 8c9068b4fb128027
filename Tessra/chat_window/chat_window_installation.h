// Puts the chat view into the floating chat panel: the panel's controller makes its chat view
// (source `master`, with a hub of its own) through the factory installed here, tied to the
// program-wide pin and side-list flags and to the panel it lives in. It also chooses how the
// message page's frames reach the screen (browser_rendering.h).
//
//   installChatWindow();  // in main, before the application starts
//
// GUI thread only.
#pragma once

namespace tessra {

void installChatWindow();

}  // namespace tessra
