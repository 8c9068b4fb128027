// The desktop's alert volume, which the program would lower while it records a shortcut and put
// back afterwards.
//
// Linux desktops offer no scripting interface to the alert volume that every desktop honours, so
// reading yields 0 and setting changes nothing; the calls exist so that their users need no
// special case.
#pragma once

namespace tessra {

class AppleScriptUtils {
 public:
  AppleScriptUtils() = delete;
  // 0: the volume cannot be read here.
  static int getAlertVolume();
  // Changes nothing here.
  static void setAlertVolume(int volume);
};

// The holders of the script layer. They keep nothing here: no desktop scripting service has
// state for them to hold, and the calls above need none.
class AppleScriptExecutor {};

class AppleScriptManager {
 public:
  AppleScriptExecutor scriptExecutor;
};

class EZSystemUtility {};

// Remembers the alert volume while it is muted and puts it back.
class AXMonitor {
 public:
  // Sets the alert volume back to `currentAlertVolume`; no longer muting afterwards.
  void recoverVolume();

  bool isMutingAlertVolume = false;
  int currentAlertVolume = 0;
};

}  // namespace tessra
