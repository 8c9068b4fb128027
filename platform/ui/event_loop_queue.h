// Runs the main queue's jobs on the Qt event loop of the GUI thread.
//
// `platform::mainQueue()` knows nothing of Qt; the program calls this once, after creating the
// application, so that work posted to the main queue from any thread runs between the GUI
// thread's events, in order.
#pragma once

namespace tessra::platform {

// Installs the poster; the jobs already waiting follow in order.
void runMainQueueOnEventLoop();

}  // namespace tessra::platform
