#include "Tessra/shell/alert_volume.h"

namespace tessra {

int AppleScriptUtils::getAlertVolume() { return 0; }

void AppleScriptUtils::setAlertVolume(int) {}

void AXMonitor::recoverVolume() {
  AppleScriptUtils::setAlertVolume(currentAlertVolume);
  isMutingAlertVolume = false;
}

}  // namespace tessra
