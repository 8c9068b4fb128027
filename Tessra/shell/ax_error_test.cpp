#include "Tessra/shell/ax_error.h"

#include <gtest/gtest.h>

#include "Tessra/shell/alert_volume.h"

namespace tessra {
namespace {

TEST(AXErrorTest, NamesEveryCodeAndUnknownOutside) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {0, "AXError.Success"},
      {-25200, "AXError.Failure"},
      {-25201, "AXError.IllegalArgument"},
      {-25204, "AXError.CannotComplete"},
      {-25211, "AXError.APIDisabled"},
      {-25213, "AXError.ParameterizedAttributeUnsupported"},
      {-25214, "AXError.NotEnoughPrecision"},
      {-25199, "AXError.Unknown"},
      {-25215, "AXError.Unknown"},
      {1, "AXError.Unknown"},
      {-1, "AXError.Unknown"},
  };
  for (const auto& c : cases) EXPECT_EQ(description(static_cast<AXError>(c.code)), c.text);
}

TEST(AlertVolumeTest, ReadsZeroAndRecoveringEndsTheMute) {
  EXPECT_EQ(AppleScriptUtils::getAlertVolume(), 0);
  AXMonitor monitor;
  monitor.isMutingAlertVolume = true;
  monitor.currentAlertVolume = 70;
  monitor.recoverVolume();
  EXPECT_FALSE(monitor.isMutingAlertVolume);
  EXPECT_EQ(AppleScriptUtils::getAlertVolume(), 0);
}

}  // namespace
}  // namespace tessra
