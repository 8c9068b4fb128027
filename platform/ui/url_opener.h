// Opens a link or a file with the desktop's program for it (the browser, the mail program, the
// picture viewer).
//
//   platform::openExternally(url, [] { tellTheUser(); });
//
// Only http, https and mailto links leave the program: a text or message page cannot make the
// desktop run a local file or a handler of another scheme. Files go out only through
// `openFileExternally`, whose callers have checked the path.
//
// The desktop's opener (xdg-open) is run and watched: it starts at once even when the desktop has
// no program for the link, and says so only by its exit status, so a refusal, an opener that
// cannot start and an opener that found no program all reach `failed`, on the GUI thread, and a
// log line. Without xdg-open, Qt's own choice of program is asked, and answers at once. GUI
// thread only.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace tessra::platform {

// True when `url` is valid, absolute and of a scheme that may be handed to the desktop.
bool isOpenableExternally(const QUrl& url);

// Hands `url` to the desktop when it is openable. False when it is refused or no opener could be
// started (`failed` has run by then); `failed` may also run later, when the opener found no
// program for it.
bool openExternally(const QUrl& url, std::function<void()> failed = {});

// Hands the local file `path` to the desktop's program for its type, as `openExternally` does.
bool openFileExternally(const QString& path, std::function<void()> failed = {});

}  // namespace tessra::platform
