// The facts about this machine and program attached to every signal.
//
// Every fact is read anew for each signal and describes this machine as it is: the platform
// "Linux", the distribution's name and version from the os-release file (the kernel's when there
// is none), the kernel's architecture, the hardware model, the user's locale and the program's
// version and build as the host configured them.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace tessra::telemetry {

class UsageTelemetryConfiguration;

// The client's identification in every payload.
inline constexpr std::string_view kTelemetryClientVersion = "TessraTelemetry 1.5.1";

// A system's name and version, each version part as its text ("22", "04"); parts the system does
// not give are "0", so the full version always has three parts.
struct SystemVersion {
  std::string name;
  std::string major;
  std::string minor;
  std::string patch;

  bool operator==(const SystemVersion&) const = default;
};

// NAME and VERSION_ID of an os-release file's text (shell-style quoting and escapes); nothing
// when either is missing or the version has no leading number.
std::optional<SystemVersion> systemVersionFromOsRelease(std::string_view text);

// "Linux" with the leading numbers of a kernel release such as "6.1.0-18-amd64".
SystemVersion systemVersionFromKernelRelease(std::string_view release);

// The locale identifier of the first set of LC_ALL, LC_MESSAGES and LANG, without its encoding
// and modifier ("de_DE.UTF-8@euro" gives "de_DE"); "C" when none is set.
std::string localeIdentifier(const char* lcAll, const char* lcMessages, const char* lang);

struct DefaultSignalPayload {
  std::string platform;
  std::string systemVersion;
  std::string majorSystemVersion;
  std::string majorMinorSystemVersion;
  std::string appVersion;
  std::string buildNumber;
  std::string isSimulator;
  std::string isDebug;
  std::string isTestFlight;
  std::string isAppStore;
  std::string modelName;
  std::string architecture;
  std::string operatingSystem;
  std::string targetEnvironment;
  std::string locale;
  std::optional<std::string> extensionIdentifier;
  std::string telemetryClientVersion;

  // The facts of this machine, with the program's version and build from the configuration.
  static DefaultSignalPayload current(const UsageTelemetryConfiguration& configuration);
  // The facts of a given system version; everything else as `current`.
  static DefaultSignalPayload make(const SystemVersion& system, std::string appVersion,
                                   std::string buildNumber);

  // Key to value, one entry per field that is present.
  std::map<std::string, std::string> asDictionary() const;

  bool operator==(const DefaultSignalPayload&) const = default;
};

void to_json(nlohmann::json& j, const DefaultSignalPayload& payload);

}  // namespace tessra::telemetry
