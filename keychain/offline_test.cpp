// The keychain with no working Secret Service: every operation must fail with a clear status in
// bounded time, and the secret must not end up anywhere else. Each case runs the keychain in a
// child process pointed at its own bus, since a process keeps its first bus connection.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "testing/temp_dir.h"

extern char** environ;

namespace tessra::keychain {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kSecret = "sk-offline-canary-7f3e9c";

// A child process whose standard output and error come back through one pipe.
class Child {
 public:
  Child(const std::vector<std::string>& arguments,
        const std::map<std::string, std::string>& environment) {
    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, in[1]);

    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
      std::string text = *entry;
      auto equals = text.find('=');
      if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> envText;
    for (const auto& [name, value] : merged) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> argumentCopies = arguments;
    std::vector<char*> argv;
    for (auto& text : argumentCopies) argv.push_back(text.data());
    argv.push_back(nullptr);

    int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    m_output = out[0];
    m_input = in[1];
    if (spawned != 0) throw std::runtime_error("cannot start " + arguments[0]);
  }
  ~Child() {
    if (m_input >= 0) close(m_input);
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    close(m_output);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads until `done(output)` holds or the output ends; false when the deadline passed first.
  bool readUntil(Clock::time_point deadline, const std::function<bool(const std::string&)>& done) {
    while (!done(m_text)) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms) return false;
      pollfd descriptor{m_output, POLLIN, 0};
      if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      ssize_t read = ::read(m_output, buffer, sizeof buffer);
      if (read <= 0) return done(m_text);
      m_text.append(buffer, static_cast<std::size_t>(read));
    }
    return true;
  }
  // Reads everything up to the end of the output and reaps the child; its exit code, or nothing
  // when the deadline passed first.
  std::optional<int> finish(Clock::time_point deadline) {
    bool ended = false;
    while (!ended) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms) return std::nullopt;
      pollfd descriptor{m_output, POLLIN, 0};
      if (poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      ssize_t read = ::read(m_output, buffer, sizeof buffer);
      if (read > 0) m_text.append(buffer, static_cast<std::size_t>(read));
      ended = read <= 0;
    }
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& output() const { return m_text; }

 private:
  pid_t m_pid = -1;
  int m_output = -1;
  int m_input = -1;
  std::string m_text;
};

struct ProbeLine {
  std::string operation;
  int code;
  long milliseconds;
};

std::vector<ProbeLine> probeLines(const std::string& output) {
  std::vector<ProbeLine> lines;
  std::regex pattern(R"(probe: (\w+) (-?\d+) (\d+))");
  for (std::sregex_iterator it(output.begin(), output.end(), pattern), end; it != end; ++it)
    lines.push_back({(*it)[1], std::stoi((*it)[2]), std::stol((*it)[3])});
  return lines;
}

class KeychainWithoutSecretService : public ::testing::Test {
 protected:
  std::map<std::string, std::string> environment(const std::string& busAddress) const {
    for (auto folder : {"home", "data", "config", "cache", "runtime"})
      std::filesystem::create_directories(m_home / folder);
    return {{"DBUS_SESSION_BUS_ADDRESS", busAddress},
            {"HOME", (m_home / "home").string()},
            {"XDG_DATA_HOME", (m_home / "data").string()},
            {"XDG_CONFIG_HOME", (m_home / "config").string()},
            {"XDG_CACHE_HOME", (m_home / "cache").string()},
            {"XDG_RUNTIME_DIR", (m_home / "runtime").string()}};
  }

  // Runs every operation in a child and checks that each failed as "not available" after at
  // least `least` and within `bound`, that the child finished, and that the secret went nowhere.
  void expectEveryOperationUnavailable(const std::string& busAddress,
                                       std::chrono::milliseconds timeout,
                                       std::chrono::milliseconds least,
                                       std::chrono::milliseconds bound) {
    Child probe({TESSRA_KEYCHAIN_PROBE, "run", kSecret, std::to_string(timeout.count())},
                environment(busAddress));
    auto exit = probe.finish(Clock::now() + 10 * (bound + 1s));
    ASSERT_TRUE(exit.has_value()) << "the keychain hung:\n" << probe.output();
    EXPECT_EQ(*exit, 0) << probe.output();

    auto lines = probeLines(probe.output());
    ASSERT_EQ(lines.size(), 10u) << probe.output();
    for (const auto& line : lines) {
      EXPECT_EQ(line.code, line.operation == "getString" || line.operation == "allKeys"
                               ? -25300  // the probe's own mark for "read as absent"
                               : -25291)
          << line.operation;
      EXPECT_LT(line.milliseconds, bound.count()) << line.operation;
      EXPECT_GE(line.milliseconds, least.count()) << line.operation;
    }
    EXPECT_NE(probe.output().find("OSStatus error:[-25291] No keychain is available. You may need "
                                  "to restart your computer."),
              std::string::npos)
        << probe.output();
    EXPECT_EQ(probe.output().find(kSecret), std::string::npos) << probe.output();
    EXPECT_FALSE(testing::anyFileContains(m_home, kSecret)) << "the secret was written to a file";
  }

  testing::TempDir m_folder;
  std::filesystem::path m_home = m_folder.path();
};

TEST_F(KeychainWithoutSecretService, NoBusFailsAtOnce) {
  expectEveryOperationUnavailable("unix:path=" + (m_home / "no-such-bus").string(), 5000ms, 0ms,
                                  2000ms);
}

TEST_F(KeychainWithoutSecretService, SilentServiceFailsAfterTheTimeout) {
  // A private bus on which a squatter owns the Secret Service's name and never answers.
  std::filesystem::path config = m_home / "bus.conf";
  std::filesystem::path socket = m_home / "bus";
  std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path=" << socket.string()
                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
  std::string address = "unix:path=" + socket.string();
  Child bus(
      {"/usr/bin/dbus-daemon", "--nofork", "--config-file=" + config.string(), "--print-address=1"},
      environment(address));
  ASSERT_TRUE(bus.readUntil(Clock::now() + 10s, [](const std::string& out) {
    return out.find('\n') != std::string::npos;
  })) << bus.output();

  Child squatter({TESSRA_KEYCHAIN_PROBE, "squat"}, environment(address));
  ASSERT_TRUE(squatter.readUntil(Clock::now() + 10s, [](const std::string& out) {
    return out.find("ready\n") != std::string::npos;
  })) << squatter.output();

  // Each operation waits for its timeout, no more: the squatter is really silent, and the
  // keychain gives up on it.
  expectEveryOperationUnavailable(address, 1000ms, 900ms, 2500ms);
}

}  // namespace
}  // namespace tessra::keychain
