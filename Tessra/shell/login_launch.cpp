#include "Tessra/shell/login_launch.h"

#include <QCoreApplication>

namespace tessra::login_launch {

bool launchedAsLoginItem() { return launchedAsLoginItem(QCoreApplication::arguments()); }

bool launchedAsLoginItem(const QStringList& arguments) {
  return arguments.mid(1).contains(kArgument.toString());
}

}  // namespace tessra::login_launch
