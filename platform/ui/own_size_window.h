// Keeps a top-level window that has a size of its own (a settings window, a small wizard) at that
// size on tiling window managers, and an ordinary window on stacking ones.
//
//   auto* settings = new QWidget(nullptr, Qt::Window);
//   settings->resize(716, 522);
//   platform::keepOwnSizeOnTilingManagers(settings);
//
// A tiling manager (i3 and its kin) lays every ordinary window out in its grid, at the size the
// grid gives it, and floats the windows whose type list (_NET_WM_WINDOW_TYPE) holds a dialog
// type, at their own size. Stacking managers take the first type of the list they know. So the
// window lists the normal type first and the dialog type after it: normal where the order is
// read, floating where the dialog type is looked for. The list is written before each map, as
// the manager reads it when it takes the window. Called once per window. GUI thread only.
#pragma once

class QWidget;

namespace tessra::platform {

void keepOwnSizeOnTilingManagers(QWidget* window);

}  // namespace tessra::platform
