// Where the user's and the system's folders are, on the desktop's conventions: the home folder,
// the XDG base directories (XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME, XDG_STATE_HOME, each
// ignored unless absolute), the user directories of user-dirs.dirs (Desktop, Documents, ...), the
// system data directories of XDG_DATA_DIRS, the temporary folders and the mounted volumes.
//
// The folders are `Path`'s static functions (`Path::userLibrary()` and the others, declared in
// path.h with the rest of the type, as the program names them) and are defined beside this
// header; every one is read anew from the environment at each call. The path algebra takes the
// home folder from here for a leading "~".
#pragma once

#include <string>

namespace tessra::files {

// HOME when it is absolute, else the user's entry in the password database, else "/". Not
// standardised: `Path::userHome()` is.
std::string homeFolderText();

}  // namespace tessra::files
