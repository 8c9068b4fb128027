// Shows the shortcut of a name on a menu action, and keeps it current as the name's shortcut
// changes.
//
//   QAction* open = menu->addAction(tr("Open Tessra"));
//   setShortcut(open, openTessraGlobal());   // the menu shows "Alt+Space"
//   setShortcut(open, std::nullopt);         // unbound: no shortcut shown, changes ignored
//
// The action only shows the combination: the global shortcut does the work, so the action's own
// shortcut is limited to its widget and never fires elsewhere. A combination the program does not
// hold (another program grabbed it) is not shown. The binding belongs to the action and goes with
// it. GUI thread only.
#pragma once

#include <optional>

#include "shortcuts/name.h"

class QAction;

namespace tessra::shortcuts {

void setShortcut(QAction* item, const std::optional<Name>& name);

}  // namespace tessra::shortcuts
