// Launch at login: whether the desktop starts Tessra when the user logs in, and whether this run
// was started so.
//
// The registration is an XDG autostart entry, `${XDG_CONFIG_HOME:-~/.config}/autostart/
// tessra.desktop`, whose command is this program's absolute path followed by `--login-item`.
// It belongs to the desktop, not to the program: it is never cached, every read looks at the
// file again, and the entry counts as on unless it is missing or unreadable (anything but a
// regular file is not read) or says `Hidden=true` or `X-GNOME-Autostart-enabled=false` (the
// switches other tools write to turn it off).
//
//   LoginLaunch::setEnabled(true);              // writes the entry atomically
//   if (!LoginLaunch::launchedAsLoginItem()) showPanelSoon();
//
// A write or removal that fails is logged ("Failed to enable launch at login: <reason>", at error
// level under the subsystem "org.tessra.Tessra.LoginLaunch", category "main") and changes nothing
// else; the next read shows the real state, so a switch turned on shows off again. A program path
// that an entry cannot hold (a control character other than tab, line feed and carriage return,
// or bytes that are not UTF-8) is such a failure: the desktop would refuse or misread the entry.
// GUI thread only (the file calls are small and synchronous).
#pragma once

#include <QObject>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessra {

class LoginLaunch;
class LoginLaunchToggle;

// An argument holds a control character other than tab, line feed and carriage return, or is not
// UTF-8: an entry's values have no escape for either.
class UnwritableArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A switch's source: `isEnabled` reads the entry afresh; writing it goes through
// `LoginLaunch::setEnabled`. Every instance announces every write made through any of them.
class LoginLaunchObservable : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)

 public:
  explicit LoginLaunchObservable(QObject* parent = nullptr);
  bool isEnabled() const;
  void setEnabled(bool enabled);

 signals:
  // After a write, whatever its outcome: readers draw the real state again.
  void isEnabledChanged();

 private:
  friend class LoginLaunch;
  struct Shared {};
  // The shared instance, which every other one relays.
  explicit LoginLaunchObservable(Shared) {}
};

class LoginLaunch {
 public:
  LoginLaunch() = delete;

  using Observable = LoginLaunchObservable;
  // The switch view with a label of the caller's (login_launch_toggle.h).
  using Toggle = LoginLaunchToggle;

  // The instance switches share; made on first use, kept until the program quits.
  static Observable& observable();

  static bool isEnabled();
  // Writes the entry (enable) or removes it (disable). An entry that is already there is
  // replaced in one step, never removed first, so a failed write leaves it working.
  static void setEnabled(bool enabled);

  // True when this run's command line holds `--login-item`, the argument the entry passes.
  static bool launchedAsLoginItem();

  // Where the entry lives.
  static std::filesystem::path entryPath();
  // The whole entry that starts `programPath` (absolute) as a login item. Throws
  // UnwritableArgumentError as `execArgument` does.
  static std::string entryText(const std::string& programPath);
  // One Exec argument written by the Desktop Entry rules: in double quotes, with `"`, `` ` ``,
  // `$` and `\` escaped inside them, then `%` doubled and the string escapes applied. Throws
  // UnwritableArgumentError for an argument the format has no way to write.
  static std::string execArgument(std::string_view argument);
  // Whether an entry with this text starts the program.
  static bool entryIsOn(std::string_view text);
};

}  // namespace tessra
