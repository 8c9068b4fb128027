// The formatter every localized text goes through before it is shown.
//
// Translations are data, not code: a translator's stray "%d" or a "%@" without its argument must
// show as written, never reach a printf-style formatter that would read an argument that is not
// there. So the formatter knows only what the table defines:
//   "%%"   becomes "%";
//   "%@"   takes the next argument, in order;
//   "%n$@" takes argument n (1-based), for translations that reorder their arguments;
// a placeholder without its argument, and every other "%", is kept as text.
#pragma once

#include <QString>
#include <QStringList>

namespace tessra {

QString formatLocalized(const QString& format, const QStringList& arguments);

}  // namespace tessra
