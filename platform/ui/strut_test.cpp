#include "platform/ui/strut.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessra::platform {
namespace {

// The work area of each monitor, from the struts of the docks of a root window.
struct Case {
  const char* name;
  QSize root;
  std::vector<std::vector<std::uint32_t>> struts;
  std::vector<QRect> monitors;
  std::vector<QRect> workAreas;
};

TEST(StrutTest, TheWorkAreaIsEachMonitorLessTheBandsReachingIntoIt) {
  const QSize fullHd(1920, 1080);
  const QRect single(0, 0, 1920, 1080);
  const Case cases[] = {
      {"a bar at the top (partial strut)",
       fullHd,
       {{0, 0, 20, 0, 0, 0, 0, 0, 0, 1919, 0, 0}},
       {single},
       {QRect(0, 20, 1920, 1060)}},
      {"a tray at the bottom (whole-edge strut)",
       fullHd,
       {{0, 0, 0, 28}},
       {single},
       {QRect(0, 0, 1920, 1052)}},
      {"a dock at the left and a bar at the top",
       fullHd,
       {{48, 0, 0, 0, 0, 1079, 0, 0, 0, 0, 0, 0}, {0, 0, 24, 0, 0, 0, 0, 0, 0, 1919, 0, 0}},
       {single},
       {QRect(48, 24, 1872, 1056)}},
      {"an end beyond the screen is clipped",
       fullHd,
       {{0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 1920}},
       {single},
       {QRect(0, 0, 1920, 1060)}},
      {"a bar on the right monitor only",
       QSize(3200, 1080),
       {{0, 0, 24, 0, 0, 0, 0, 0, 1920, 3199, 0, 0}},
       {single, QRect(1920, 0, 1280, 1024)},
       {single, QRect(1920, 24, 1280, 1000)}},
      // Measured from the root's bottom edge, 56 pixels below the shorter monitor.
      {"a bar at the bottom of a shorter monitor",
       QSize(3200, 1080),
       {{0, 0, 0, 86, 0, 0, 0, 0, 0, 0, 1920, 3199}},
       {single, QRect(1920, 0, 1280, 1024)},
       {single, QRect(1920, 0, 1280, 994)}},
      {"a bar at the top of the lower of two stacked monitors",
       QSize(1920, 2160),
       {{0, 0, 1100, 0, 0, 0, 0, 0, 0, 1919, 0, 0}},
       {single, QRect(0, 1080, 1920, 1080)},
       {single, QRect(0, 1100, 1920, 1060)}},
      {"a band that runs backwards reserves nothing",
       fullHd,
       {{0, 0, 20, 0, 0, 0, 0, 0, 1919, 0, 0, 0}},
       {single},
       {single}},
      {"a value of another count is no strut",
       fullHd,
       {{0, 0, 20}, {0, 0, 20, 0, 0, 0}},
       {single},
       {single}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<StrutBand> bands;
    for (const auto& values : c.struts) {
      if (const auto strut = Strut::fromCardinals(values, c.root)) {
        const auto more = strut->bands(c.root);
        bands.insert(bands.end(), more.begin(), more.end());
      }
    }
    for (std::size_t i = 0; i < c.monitors.size(); ++i)
      EXPECT_EQ(workAreaWithin(c.monitors[i], bands), c.workAreas[i]) << "monitor " << i;
  }
}

}  // namespace
}  // namespace tessra::platform
