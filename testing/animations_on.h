// Turns the program's animations on for a test that watches one run (a slide, a fade, a growing
// button), and back to what they were when it ends: the window tests run with them off
// (testing/gui_test_main.cpp). Tests that use it must not run their cases on several threads.
//
//   const testing::AnimationsOn animations;
//   window.moveToScreen(screen, corner, margin, 0, true);
//   EXPECT_TRUE(window.inAnimation());
#pragma once

#include "platform/ui/animations.h"

namespace tessra::testing {

class AnimationsOn {
 public:
  AnimationsOn() : m_were(platform::animationsEnabled()) { platform::setAnimationsEnabled(true); }
  ~AnimationsOn() { platform::setAnimationsEnabled(m_were); }
  AnimationsOn(const AnimationsOn&) = delete;
  AnimationsOn& operator=(const AnimationsOn&) = delete;

 private:
  bool m_were;
};

}  // namespace tessra::testing
