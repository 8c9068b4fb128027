// The program-wide switch for endless and decorative animations: on for the user, off for tests,
// whose queries of a window or a page should not pay for animations under software rendering.
//
//   platform::setAnimationsEnabled(false);  // once, before the windows are made
//   fade->setDuration(platform::animationDuration(250));  // 0 while off: at its end at once
//
// Windows read it when they start an animation; a page reads it when it loads. Any thread.
#pragma once

namespace tessra::platform {

bool animationsEnabled();
void setAnimationsEnabled(bool enabled);
// `milliseconds` while animations are on, else 0: the duration to give an animation as it starts.
int animationDuration(int milliseconds);

}  // namespace tessra::platform
