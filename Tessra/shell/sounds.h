// The sounds among the shell's resources, by their resource URLs.
#pragma once

#include <QString>

namespace tessra::sounds {

// The "pop" sound, made once on first use (thread-safe).
const QString& popUrl();

}  // namespace tessra::sounds
