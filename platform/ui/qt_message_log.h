// Sends Qt's own messages (warnings of the toolkit, qDebug lines) to the program's logger, so
// that one place shows everything the program and its libraries say.
#pragma once

namespace tessra::platform {

// Installs the handler for the whole process; call it once, before the application is created.
void routeQtMessagesToLogger();

}  // namespace tessra::platform
