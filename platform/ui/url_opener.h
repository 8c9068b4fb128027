// Opens a link with the desktop's handler for it (the browser, the mail program).
//
// Only http, https and mailto links leave the program: a text or message page cannot make the
// desktop run a local file or a handler of another scheme. A refusal is logged and reported.
#pragma once

#include <QString>
#include <QUrl>

namespace tessra::platform {

// True when `url` is valid, absolute and of a scheme that may be handed to the desktop.
bool isOpenableExternally(const QUrl& url);

// Hands `url` to the desktop when it is openable; false (logged) when refused or when the desktop
// could not open it.
bool openExternally(const QUrl& url);

}  // namespace tessra::platform
