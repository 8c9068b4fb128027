// Puts the settings windows where the rest of the program opens them: the settings window behind
// the tray's Settings and the chat window's gear, the onboarding behind the first start, and the
// key form and a conversation's settings in the chat window's panels; and gives the shortcut
// recorders the program's string table for titles given by key. Called once by main, before the
// program starts.
#pragma once

namespace tessra {

void installSettings();

}  // namespace tessra
