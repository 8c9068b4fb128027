#include "Tessra/shell/app_environment.h"

#include <gtest/gtest.h>

#include "testing/scoped_env.h"

namespace tessra {
namespace {

TEST(AppEnvironmentTest, PreviewRunNeedsExactlyOne) {
  for (const char* value : {"true", "0", ""}) {
    testing::ScopedEnv env("XCODE_RUNNING_FOR_PREVIEWS", value);
    EXPECT_FALSE(app_environment::isRunningForPreviews()) << value;
  }
  {
    testing::ScopedEnv env("XCODE_RUNNING_FOR_PREVIEWS", "1");
    EXPECT_TRUE(app_environment::isRunningForPreviews());
  }
  testing::ScopedEnv unset("XCODE_RUNNING_FOR_PREVIEWS", nullptr);
  EXPECT_FALSE(app_environment::isRunningForPreviews());
}

}  // namespace
}  // namespace tessra
