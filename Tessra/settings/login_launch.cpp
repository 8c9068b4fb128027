#include "Tessra/settings/login_launch.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <system_error>

#include "Tessra/shell/login_launch.h"
#include "platform/foundation/atomic_file.h"
#include "platform/foundation/locations.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/regular_file.h"
#include "platform/foundation/utf8.h"

namespace tessra {

namespace {

constexpr std::string_view kEntryFileName = "tessra.desktop";

// Launch at login's lines stand apart from the rest of the program's, for a reader who follows
// why the program did or did not start with the session.
const platform::Logger& logger() {
  static const platform::Logger instance(std::string(platform::Logger::kSubsystem) + ".LoginLaunch",
                                         "main");
  return instance;
}

// The program's own path, also before a QCoreApplication exists.
std::string programPath() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath().toStdString();
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

LoginLaunchObservable::LoginLaunchObservable(QObject* parent) : QObject(parent) {
  connect(&LoginLaunch::observable(), &LoginLaunchObservable::isEnabledChanged, this,
          &LoginLaunchObservable::isEnabledChanged);
}

bool LoginLaunchObservable::isEnabled() const { return LoginLaunch::isEnabled(); }

void LoginLaunchObservable::setEnabled(bool enabled) { LoginLaunch::setEnabled(enabled); }

LoginLaunch::Observable& LoginLaunch::observable() {
  static Observable* const instance = new Observable(LoginLaunchObservable::Shared{});
  return *instance;
}

std::filesystem::path LoginLaunch::entryPath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base = configHome && *configHome == '/'
                                   ? std::filesystem::path(configHome)
                                   : platform::homeDirectory() / ".config";
  return base / "autostart" / kEntryFileName;
}

std::string LoginLaunch::execArgument(std::string_view argument) {
  if (!platform::isValidUtf8(argument))
    throw UnwritableArgumentError(
        "the program's path is not UTF-8, which no autostart entry can hold");
  const auto isUnwritable = [](unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f;
  };
  if (std::ranges::any_of(argument, isUnwritable))
    throw UnwritableArgumentError(
        "the program's path holds a control character, which no autostart entry can hold");
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  // The string escapes of the file format apply before the quoting is read, and `%` starts a
  // field code anywhere in Exec.
  std::string escaped;
  for (const char c : quoted) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '%':
        escaped += "%%";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string LoginLaunch::entryText(const std::string& path) {
  std::string text;
  text += "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=Tessra AI\n";
  text += "Comment=Starts Tessra when you log in\n";
  text +=
      "Exec=" + execArgument(path) + " " + login_launch::kArgument.toString().toStdString() + "\n";
  text += "Terminal=false\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

bool LoginLaunch::entryIsOn(std::string_view text) {
  bool inMainGroup = false;
  std::istringstream lines{std::string(text)};
  for (std::string line; std::getline(lines, line);) {
    const std::string_view view = trimmed(line);
    if (view.empty() || view.front() == '#') continue;
    if (view.front() == '[') {
      inMainGroup = view == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const auto equals = view.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = trimmed(view.substr(0, equals));
    const std::string_view value = trimmed(view.substr(equals + 1));
    if (key == "Hidden" && value == "true") return false;
    if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
  }
  return true;
}

bool LoginLaunch::isEnabled() {
  try {
    return entryIsOn(platform::readRegularFile(entryPath()));
  } catch (const std::system_error&) {
    return false;
  }
}

void LoginLaunch::setEnabled(bool enabled) {
  const std::filesystem::path path = entryPath();
  try {
    if (enabled) {
      platform::writeFileAtomically(path, entryText(programPath()), {.createFolders = true});
    } else {
      std::error_code error;
      std::filesystem::remove(path, error);
      if (error) throw std::system_error(error, "remove " + path.string());
    }
  } catch (const std::exception& failure) {
    logger().log(platform::LogLevel::error,
                 fmt::format("Failed to {} launch at login: {}", enabled ? "enable" : "disable",
                             failure.what()));
  }
  emit observable().isEnabledChanged();
}

bool LoginLaunch::launchedAsLoginItem() { return login_launch::launchedAsLoginItem(); }

}  // namespace tessra
