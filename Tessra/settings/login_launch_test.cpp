// GLib first: its structures have a member named like a Qt keyword.
#include <gio/gdesktopappinfo.h>

#include "Tessra/settings/login_launch.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/log_capture.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class LoginLaunchTest : public ::testing::Test {
 protected:
  testing::TempDir m_dir;
  testing::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").string()};
};

TEST_F(LoginLaunchTest, TheEntryIsReadAfreshEachTime) {
  const auto path = m_dir / "config" / "autostart" / "tessra.desktop";
  EXPECT_EQ(LoginLaunch::entryPath(), path);
  const struct {
    const char* name;
    std::optional<std::string> content;
    bool on;
  } cases[] = {
      {"absent", std::nullopt, false},
      {"ours", LoginLaunch::entryText("/usr/bin/tessra"), true},
      {"hidden", "[Desktop Entry]\nType=Application\nExec=tessra\nHidden=true\n", false},
      {"turned off by the desktop",
       "[Desktop Entry]\nExec=tessra\nX-GNOME-Autostart-enabled=false\n", false},
      {"a switch of another group", "[Desktop Entry]\nExec=tessra\n[Other]\nHidden=true\n", true},
      {"spaces around", "[Desktop Entry]\nHidden = true \n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path);
    if (c.content) m_dir.write("config/autostart/tessra.desktop", *c.content);
    EXPECT_EQ(LoginLaunch::isEnabled(), c.on);
  }
}

TEST_F(LoginLaunchTest, EnablingWritesAWorkingEntryAndDisablingRemovesIt) {
  LoginLaunch::Observable switchSource;
  QSignalSpy changes(&switchSource, &LoginLaunch::Observable::isEnabledChanged);
  switchSource.setEnabled(true);
  EXPECT_TRUE(switchSource.isEnabled());
  const std::string text = readAll(LoginLaunch::entryPath());
  EXPECT_NE(text.find("--login-item"), std::string::npos);
  // Enabling again keeps it on, with the same entry.
  LoginLaunch::setEnabled(true);
  EXPECT_TRUE(LoginLaunch::isEnabled());
  EXPECT_EQ(readAll(LoginLaunch::entryPath()), text);
  LoginLaunch::setEnabled(false);
  EXPECT_FALSE(std::filesystem::exists(LoginLaunch::entryPath()));
  EXPECT_FALSE(switchSource.isEnabled());
  // Turning it off while off is no failure.
  testing::LogCapture log;
  LoginLaunch::setEnabled(false);
  EXPECT_TRUE(log.linesStartingWith("error").empty()) << log.all();
  EXPECT_EQ(changes.count(), 4);
}

TEST_F(LoginLaunchTest, AFolderThatCannotBeWrittenLeavesItOffAndIsLogged) {
  // A file where the entry's folder belongs: no entry can be written or removed there, not even
  // by the superuser.
  m_dir.write("config/autostart", "");
  testing::LogCapture log;
  LoginLaunch::setEnabled(true);
  EXPECT_FALSE(LoginLaunch::isEnabled());
  LoginLaunch::setEnabled(false);
  // At error level, under launch at login's own logger.
  const auto lines = log.linesOf("org.tessra.Tessra.LoginLaunch", "main");
  ASSERT_EQ(lines.size(), 2u) << log.all();
  EXPECT_TRUE(lines[0].starts_with("Failed to enable launch at login: ")) << lines[0];
  EXPECT_TRUE(lines[1].starts_with("Failed to disable launch at login: ")) << lines[1];
  EXPECT_EQ(log.linesAtLeast(platform::LogLevel::error), lines);
}

TEST_F(LoginLaunchTest, TheDesktopRunsTheProgramWithTheLoginFlag) {
  const std::vector<std::string> names = {
      "plain",         "with space",          "quote\"d", "per%cent", "back\\slash",
      "dollar$`tick'", "line\nfeed\ttab\rcr", "caf\u00e9"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    // A program that records its arguments, one a line.
    const auto folder = m_dir / ("bin " + name);
    const auto program = folder / ("tessra " + name);
    const auto record = m_dir / "argv.txt";
    std::filesystem::remove(record);
    m_dir.write(std::filesystem::relative(program, m_dir.path()).string(),
                "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                    record.string() + "'\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const auto entry = m_dir.write("entry/tessra.desktop", LoginLaunch::entryText(program));

    const std::string validate = "desktop-file-validate '" + entry.string() + "' 2>&1";
    FILE* pipe = ::popen(validate.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string report;
    char buffer[512];
    while (::fgets(buffer, sizeof buffer, pipe)) report += buffer;
    EXPECT_EQ(::pclose(pipe), 0) << report;
    EXPECT_EQ(report, "") << report;

    // The split GLib makes of the line: string escapes, then quoting, then field codes.
    GKeyFile* file = g_key_file_new();
    ASSERT_TRUE(g_key_file_load_from_file(file, entry.c_str(), G_KEY_FILE_NONE, nullptr));
    gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
    g_key_file_free(file);
    ASSERT_NE(exec, nullptr);
    gint argc = 0;
    gchar** argv = nullptr;
    ASSERT_TRUE(g_shell_parse_argv(exec, &argc, &argv, nullptr)) << exec;
    g_free(exec);
    std::vector<std::string> split;
    for (gint i = 0; i < argc; ++i) {
      std::string argument = argv[i];
      for (std::size_t at = 0; (at = argument.find("%%", at)) != std::string::npos; ++at)
        argument.replace(at, 2, "%");
      split.push_back(argument);
    }
    g_strfreev(argv);
    EXPECT_EQ(split, (std::vector<std::string>{program.string(), "--login-item"}));

    // GLib looks the program up before expanding field codes, so it cannot start a path with a
    // "%" in it; every other path it starts.
    if (name.find('%') != std::string::npos) continue;
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.c_str());
    ASSERT_NE(info, nullptr);
    GError* error = nullptr;
    ASSERT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error))
        << (error ? error->message : "");
    g_object_unref(info);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readAll(record).find("--login-item\n") != std::string::npos; }, 5000));
    EXPECT_EQ(readAll(record), program.string() + "\n--login-item\n");
  }
}

TEST_F(LoginLaunchTest, APathNoEntryCanHoldIsRefusedWithItsReason) {
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {"/opt/t\x01essra", "control character"}, {"/opt/\x1b[31mtessra", "control character"},
      {"/opt/tessra\x7f", "control character"}, {"/opt/t\xe9ssra", "not UTF-8"},
      {"/opt/tessra\xf0\x9f", "not UTF-8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      (void)LoginLaunch::entryText(c.path);
      ADD_FAILURE() << "an entry was written";
    } catch (const UnwritableArgumentError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
  }
}

TEST(LoginLaunchArgumentsTest, OnlyTheFlagMakesALoginLaunch) {
  // This test process was started without it.
  EXPECT_FALSE(LoginLaunch::launchedAsLoginItem());
}

}  // namespace
}  // namespace tessra
