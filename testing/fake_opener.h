// The desktop's opener (xdg-open) replaced for one test: a script first on PATH that writes down
// what it is asked to open and ends with the status the test chooses, as the real one ends with 3
// when the desktop has no program for a link or file. Nothing is launched.
//
//   testing::FakeOpener opener(testing::FakeOpener::kNoProgram);
//   ... the program opens a link ...
//   EXPECT_EQ(opener.opened(), std::vector<std::string>{"https://example.com/"});
//
// Tests that use it must not run their cases on several threads (it sets PATH).
#pragma once

#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra::testing {

class FakeOpener {
 public:
  static constexpr int kOpened = 0;
  // xdg-open's status when no program of the desktop takes the link or file.
  static constexpr int kNoProgram = 3;

  explicit FakeOpener(int exitStatus = kOpened);

  // What it was asked to open, in order (the opener may still be running for the last one).
  std::vector<std::string> opened() const;

 private:
  TempDir m_dir;
  ScopedEnv m_path;
};

}  // namespace tessra::testing
