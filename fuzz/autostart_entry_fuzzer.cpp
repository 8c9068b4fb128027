// The autostart entry: the reader that tells whether an entry on disk (ours, or one another
// tool rewrote) starts the program, and the writer of the program's path into its Exec line.
//
// Input: one byte that chooses the part, then an entry's text or a program path.
// Rules: the reader takes any text; a path is either refused or written so that the desktop's
// own parser (GLib: string escapes, then quoting, then field codes) gives back exactly that path
// and the login flag, in an entry the reader reads as on.
// GLib first: its structures have a member named like a Qt keyword.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Tessra/settings/login_launch.h"
#include "fuzz/fuzz_support.h"

namespace {

// The Exec line's arguments as the desktop reads them; nothing when it cannot read the entry.
std::optional<std::vector<std::string>> execArguments(const std::string& entry) {
  GKeyFile* file = g_key_file_new();
  std::optional<std::vector<std::string>> arguments;
  if (g_key_file_load_from_data(file, entry.data(), entry.size(), G_KEY_FILE_NONE, nullptr)) {
    if (gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr)) {
      gint count = 0;
      gchar** split = nullptr;
      if (g_shell_parse_argv(exec, &count, &split, nullptr)) {
        arguments.emplace();
        for (gint i = 0; i < count; ++i) {
          std::string argument = split[i];
          for (std::size_t at = 0; (at = argument.find("%%", at)) != std::string::npos; ++at)
            argument.replace(at, 2, "%");
          arguments->push_back(std::move(argument));
        }
        g_strfreev(split);
      }
      g_free(exec);
    }
  }
  g_key_file_free(file);
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tessra::fuzz::quietLogs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tessra::LoginLaunch;
  if (size < 1) return 0;
  const std::string_view rest = tessra::fuzz::text(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    (void)LoginLaunch::entryIsOn(rest);
    return 0;
  }
  const std::string path = "/" + std::string(rest);
  std::string entry;
  try {
    entry = LoginLaunch::entryText(path);
  } catch (const tessra::UnwritableArgumentError&) {
    return 0;
  }
  FUZZ_CHECK(LoginLaunch::entryIsOn(entry));
  FUZZ_CHECK(execArguments(entry) == (std::vector<std::string>{path, "--login-item"}));
  return 0;
}
