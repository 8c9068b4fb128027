// Puts the conversation switcher, the topic list, the new-or-rename panel and the side list into
// the chat window's slots. Called once at start, before the first chat window is made.
#pragma once

namespace tessra {

void installNavigation();

}  // namespace tessra
