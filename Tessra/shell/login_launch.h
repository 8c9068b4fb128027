// Whether this run was started by the desktop's autostart at login.
//
// The autostart entry starts the program with `--login-item`; such a start shows no panel.
#pragma once

#include <QString>
#include <QStringList>

namespace tessra::login_launch {

inline constexpr QStringView kArgument = u"--login-item";

// True when the program's arguments hold `--login-item`.
bool launchedAsLoginItem();
bool launchedAsLoginItem(const QStringList& arguments);

}  // namespace tessra::login_launch
