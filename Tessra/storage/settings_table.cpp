#include "Tessra/storage/settings_table.h"

#include "Tessra/storage/user_settings.h"

namespace tessra::setting {

void keepTheSideButtonWithoutTheTrayIcon(UserSettings& settings, const bool& trayIconVisible) {
  if (!trayIconVisible) settings.setValue(overlayIconVisible, true);
}

}  // namespace tessra::setting
