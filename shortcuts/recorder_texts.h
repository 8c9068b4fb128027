// The recorder field's own texts, built into the library so that a missing file can never stop
// the program. Looked up by key; an unknown key reads as itself.
//
//   recorderText("press_shortcut");   // "Press Shortcut"
#pragma once

#include <QString>

namespace tessra::shortcuts {

// The text in the program's interface language where we have it, else in English.
QString recorderText(const char* key);

// The interface language, a code such as "de"; empty follows the system's. Set by the program
// when its language setting is read.
void setRecorderLanguage(const QString& languageCode);

}  // namespace tessra::shortcuts
