// The recorder field's own texts, built into the library so that a missing file can never stop
// the program. Looked up by key; an unknown key reads as itself.
//
//   recorderText("press_shortcut");   // "Press Shortcut"
#pragma once

#include <QString>

namespace tessra::shortcuts {

// The text in the program's interface language where we have it, else in English.
QString recorderText(const char* key);

// The interface language, a code such as "de" or "zh-Hans"; empty follows the system's. The
// program sets it from its language setting before it shows a recorder. GUI thread only.
void setRecorderLanguage(const QString& languageCode);

}  // namespace tessra::shortcuts
