// The message page's own texts (its buttons and labels) in every interface language, read from
// the program's string tables ("MessagePage.*"), for the page to pick from when it is told the
// language with `window.setLocale`.
#pragma once

#include <nlohmann/json.hpp>

namespace tessra {

// {"en": {"openInWindow": "Open in Window", ...}, "de": {...}, ..., "system": {...},
//  "systemTag": "de"}: one object per language code of the settings, "system" holding the texts
// of the system's languages and "systemTag" the code those texts are in (for dates).
nlohmann::json messagePageTexts();

}  // namespace tessra
