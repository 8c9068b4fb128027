#include "telemetry/default_signal_payload.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "telemetry/configuration.h"

namespace tessra::telemetry {
namespace {

TEST(OsRelease, ReadsNameAndVersionTheWayAShellWould) {
  const struct {
    const char* text;
    std::optional<SystemVersion> expected;
  } cases[] = {
      {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
       "VERSION_ID=\"12\"\nID=debian\n",
       SystemVersion{"Debian GNU/Linux", "12", "0", "0"}},
      {"NAME=\"Ubuntu\"\nVERSION_ID=\"22.04\"\n", SystemVersion{"Ubuntu", "22", "04", "0"}},
      {"NAME='openSUSE Leap'\nVERSION_ID='15.5'\n", SystemVersion{"openSUSE Leap", "15", "5", "0"}},
      {"# comment\n\n  NAME=Alpine\\ Linux  \nVERSION_ID=3.19.1\n",
       SystemVersion{"Alpine Linux", "3", "19", "1"}},
      {"NAME=\"Say \\\"hi\\\"\"\nVERSION_ID=1.2.3.4\n", SystemVersion{"Say \"hi\"", "1", "2", "3"}},
      {"NAME=\"Fedora Linux\"\r\nVERSION_ID=39\r\n", SystemVersion{"Fedora Linux", "39", "0", "0"}},
      // A rolling distribution names no version: the kernel's is used instead.
      {"NAME=\"Arch Linux\"\nBUILD_ID=rolling\n", std::nullopt},
      {"NAME=\"Odd\"\nVERSION_ID=\"bookworm\"\n", std::nullopt},
      {"VERSION_ID=\"12\"\n", std::nullopt},
      {"NAME=\"\"\nVERSION_ID=\"12\"\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(systemVersionFromOsRelease(c.text), c.expected) << c.text;
}

TEST(OsRelease, KernelReleaseGivesLinuxWithItsLeadingNumbers) {
  const struct {
    const char* release;
    SystemVersion expected;
  } cases[] = {
      {"6.1.0-18-amd64", {"Linux", "6", "1", "0"}},
      {"5.15.0-91-generic", {"Linux", "5", "15", "0"}},
      {"6.7.4-arch1-1", {"Linux", "6", "7", "4"}},
      {"4.19", {"Linux", "4", "19", "0"}},
      {"", {"Linux", "0", "0", "0"}},
  };
  for (const auto& c : cases) EXPECT_EQ(systemVersionFromKernelRelease(c.release), c.expected);
}

TEST(Locale, TakesTheFirstSetVariableWithoutEncodingOrModifier) {
  const struct {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* expected;
  } cases[] = {
      {nullptr, nullptr, "en_US.UTF-8", "en_US"}, {"", "", "de_DE.UTF-8@euro", "de_DE"},
      {"fr_FR.UTF-8", "de_DE", "en_US", "fr_FR"}, {nullptr, "sr_RS@latin", "en_US", "sr_RS"},
      {nullptr, nullptr, "C.UTF-8", "C"},         {nullptr, nullptr, nullptr, "C"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(localeIdentifier(c.lcAll, c.lcMessages, c.lang), c.expected) << c.expected;
}

TEST(DefaultSignalPayload, DescribesThisMachineWithThreePartVersions) {
  const auto payload =
      DefaultSignalPayload::make(SystemVersion{"Debian GNU/Linux", "13", "0", "0"}, "1.2", "42");
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(payload.platform, "Linux");
  EXPECT_EQ(payload.operatingSystem, "Linux");
  EXPECT_EQ(payload.systemVersion, "Debian GNU/Linux 13.0.0");
  EXPECT_EQ(payload.majorSystemVersion, "Debian GNU/Linux 13");
  EXPECT_EQ(payload.majorMinorSystemVersion, "Debian GNU/Linux 13.0");
  EXPECT_EQ(payload.appVersion, "1.2");
  EXPECT_EQ(payload.buildNumber, "42");
  EXPECT_EQ(payload.architecture, names.machine);
  EXPECT_FALSE(payload.modelName.empty());
  EXPECT_EQ(payload.telemetryClientVersion, "TessraTelemetry 1.5.1");
  EXPECT_EQ(payload.extensionIdentifier, std::nullopt);
}

TEST(DefaultSignalPayload, CurrentTakesVersionAndBuildFromTheConfiguration) {
  UsageTelemetryConfiguration configuration("4B1E9D27-6A3C-4F58-9E02-7C5DA13B86F4");
  EXPECT_EQ(DefaultSignalPayload::current(configuration).appVersion, "0");
  EXPECT_EQ(DefaultSignalPayload::current(configuration).buildNumber, "0");
  configuration.setAppVersion("1.0.0");
  configuration.setBuildNumber("7");
  const auto payload = DefaultSignalPayload::current(configuration);
  EXPECT_EQ(payload.appVersion, "1.0.0");
  EXPECT_EQ(payload.buildNumber, "7");
  EXPECT_EQ(payload.platform, "Linux");
  EXPECT_NE(payload.systemVersion.find('.'), std::string::npos);
}

}  // namespace
}  // namespace tessra::telemetry
