// The program's one global shortcut: it toggles the floating chat panel from any program.
// Alt+Space unless the user chose another (or cleared it) in the settings.
#pragma once

#include "shortcuts/name.h"

namespace tessra {

// Made on first use, after the application object exists; storing its default the first time.
const shortcuts::Name& openTessraGlobal();

}  // namespace tessra
