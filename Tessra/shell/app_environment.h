// What the environment the program was started in asks of it.
#pragma once

namespace tessra::app_environment {

// True exactly when the environment holds "XCODE_RUNNING_FOR_PREVIEWS" with the value "1": a
// design-time preview run, in which the program starts nothing.
bool isRunningForPreviews();

}  // namespace tessra::app_environment
