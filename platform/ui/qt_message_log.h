// Sends Qt's own messages (warnings of the toolkit, qDebug lines) to the program's logger, so
// that one place shows everything the program and its libraries say.
//
// It also sees the one word Qt says before it ends the process on its own: when the connection to
// the X server breaks (the session ended, the display server went away), Qt's X11 plugin logs so
// and calls exit(1) at once, so no quit path of the event loop runs. `setDisplayLostHandler`
// gives the program that moment, while everything still lives, to end its work in an orderly
// way.
#pragma once

#include <functional>

namespace tessra::platform {

// Installs the handler for the whole process; call it once, before the application is created.
void routeQtMessagesToLogger();

// Runs `handler` on the GUI thread when Qt reports that the X connection broke, just before the
// process ends; once.
void setDisplayLostHandler(std::function<void()> handler);

}  // namespace tessra::platform
