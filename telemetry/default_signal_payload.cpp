#include "telemetry/default_signal_payload.h"

#include <sys/utsname.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/foundation/json.h"
#include "telemetry/configuration.h"

namespace tessra::telemetry {

namespace {

std::optional<std::string> readWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The value of one os-release assignment: quotes removed, backslash escapes resolved inside
// double quotes, as a shell would read it.
std::string unquoted(std::string_view raw) {
  std::string value;
  char quote = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
      continue;
    }
    if (c == quote) {
      quote = 0;
      continue;
    }
    if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
      value.push_back(raw[++i]);
      continue;
    }
    value.push_back(c);
  }
  return value;
}

// The leading run of digits of each "."-separated part, until a part has none.
std::vector<std::string> numericParts(std::string_view version) {
  std::vector<std::string> parts;
  while (!version.empty()) {
    std::size_t digits = 0;
    while (digits < version.size() && std::isdigit(static_cast<unsigned char>(version[digits])))
      ++digits;
    if (digits == 0) break;
    parts.emplace_back(version.substr(0, digits));
    if (digits == version.size() || version[digits] != '.') break;
    version.remove_prefix(digits + 1);
  }
  return parts;
}

std::optional<SystemVersion> versionOf(std::string name, std::string_view version) {
  const auto parts = numericParts(version);
  if (parts.empty()) return std::nullopt;
  SystemVersion system{std::move(name), parts[0], "0", "0"};
  if (parts.size() > 1) system.minor = parts[1];
  if (parts.size() > 2) system.patch = parts[2];
  return system;
}

utsname kernel() {
  utsname names{};
  if (uname(&names) != 0) return utsname{};
  return names;
}

SystemVersion runningSystemVersion() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    const auto text = readWholeFile(path);
    if (!text) continue;
    if (auto system = systemVersionFromOsRelease(*text)) return *system;
    break;
  }
  return systemVersionFromKernelRelease(kernel().release);
}

// The hardware model as the firmware names it; the kernel's machine name when it names none.
std::string hardwareModelName() {
  for (const char* path : {"/sys/devices/virtual/dmi/id/product_name", "/proc/device-tree/model"}) {
    const auto text = readWholeFile(path);
    if (!text) continue;
    // The device tree ends its text with a NUL.
    const auto model = trimmed(std::string_view(*text).substr(0, text->find('\0')));
    if (!model.empty()) return std::string(model);
  }
  return kernel().machine;
}

}  // namespace

std::optional<SystemVersion> systemVersionFromOsRelease(std::string_view text) {
  std::optional<std::string> name;
  std::optional<std::string> version;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const auto line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const auto key = line.substr(0, equals);
    if (key == "NAME") name = unquoted(line.substr(equals + 1));
    if (key == "VERSION_ID") version = unquoted(line.substr(equals + 1));
  }
  if (!name || name->empty() || !version) return std::nullopt;
  return versionOf(*name, *version);
}

SystemVersion systemVersionFromKernelRelease(std::string_view release) {
  if (auto system = versionOf("Linux", release)) return *system;
  return SystemVersion{"Linux", "0", "0", "0"};
}

std::string localeIdentifier(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (value == nullptr || *value == '\0') continue;
    std::string_view identifier(value);
    identifier = identifier.substr(0, identifier.find_first_of(".@"));
    if (!identifier.empty()) return std::string(identifier);
  }
  return "C";
}

DefaultSignalPayload DefaultSignalPayload::make(const SystemVersion& system, std::string appVersion,
                                                std::string buildNumber) {
  DefaultSignalPayload payload;
  payload.platform = "Linux";
  payload.systemVersion =
      system.name + " " + system.major + "." + system.minor + "." + system.patch;
  payload.majorSystemVersion = system.name + " " + system.major;
  payload.majorMinorSystemVersion = system.name + " " + system.major + "." + system.minor;
  payload.appVersion = std::move(appVersion);
  payload.buildNumber = std::move(buildNumber);
  payload.isSimulator = "false";
  payload.isDebug = "false";
  // The program is never installed from a store here.
  payload.isTestFlight = "false";
  payload.isAppStore = "false";
  payload.modelName = hardwareModelName();
  payload.architecture = kernel().machine;
  payload.operatingSystem = "Linux";
  payload.targetEnvironment = "native";
  payload.locale =
      localeIdentifier(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  payload.telemetryClientVersion = std::string(kTelemetryClientVersion);
  return payload;
}

DefaultSignalPayload DefaultSignalPayload::current(
    const UsageTelemetryConfiguration& configuration) {
  return make(runningSystemVersion(), configuration.appVersion(), configuration.buildNumber());
}

std::map<std::string, std::string> DefaultSignalPayload::asDictionary() const {
  const nlohmann::json encoded = *this;
  std::map<std::string, std::string> entries;
  for (const auto& [key, value] : encoded.items()) entries.emplace(key, value.get<std::string>());
  return entries;
}

void to_json(nlohmann::json& j, const DefaultSignalPayload& payload) {
  j = {
      {"platform", payload.platform},
      {"systemVersion", payload.systemVersion},
      {"majorSystemVersion", payload.majorSystemVersion},
      {"majorMinorSystemVersion", payload.majorMinorSystemVersion},
      {"appVersion", payload.appVersion},
      {"buildNumber", payload.buildNumber},
      {"isSimulator", payload.isSimulator},
      {"isDebug", payload.isDebug},
      {"isTestFlight", payload.isTestFlight},
      {"isAppStore", payload.isAppStore},
      {"modelName", payload.modelName},
      {"architecture", payload.architecture},
      {"operatingSystem", payload.operatingSystem},
      {"targetEnvironment", payload.targetEnvironment},
      {"locale", payload.locale},
      {"telemetryClientVersion", payload.telemetryClientVersion},
  };
  platform::putOptional(j, "extensionIdentifier", payload.extensionIdentifier);
}

}  // namespace tessra::telemetry
