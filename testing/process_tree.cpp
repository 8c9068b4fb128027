#include "testing/process_tree.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace tessra::testing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kSampleInterval = std::chrono::milliseconds(100);

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fields of /proc/<pid>/stat after the command name, which may hold blanks and parentheses:
// [0] is the state, [1] the parent, [11] to [14] utime, stime, cutime and cstime in clock ticks.
std::vector<std::string_view> statFields(std::string_view stat) {
  std::vector<std::string_view> fields;
  const auto nameEnd = stat.rfind(')');
  if (nameEnd == std::string_view::npos) return fields;
  std::string_view rest = stat.substr(nameEnd + 1);
  while (!rest.empty()) {
    const auto start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const auto end = rest.find(' ');
    fields.push_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end);
  }
  return fields;
}

long long number(std::string_view text) {
  long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string procStat(pid_t pid) { return readFile("/proc/" + std::to_string(pid) + "/stat"); }

double cpuSecondsOf(const std::vector<std::string_view>& fields) {
  static const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
  if (fields.size() < 15) return 0;
  long long ticks = 0;
  for (std::size_t field = 11; field <= 14; ++field) ticks += number(fields[field]);
  return static_cast<double>(ticks) / ticksPerSecond;
}

std::string roleOf(pid_t pid) {
  const std::string commandLine = readFile("/proc/" + std::to_string(pid) + "/cmdline");
  constexpr std::string_view kType = "--type=";
  if (const auto at = commandLine.find(kType); at != std::string::npos) {
    const auto start = at + kType.size();
    // The browser writes its processes' arguments back as one line.
    return commandLine.substr(start,
                              commandLine.find_first_of(std::string_view(" \0", 2), start) - start);
  }
  const std::string stat = procStat(pid);
  const auto open = stat.find('(');
  const auto close = stat.rfind(')');
  return open < close ? stat.substr(open + 1, close - open - 1) : std::string("unknown");
}

}  // namespace

std::vector<pid_t> ProcessTree::processes() const {
  std::multimap<pid_t, pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    const auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end != name.data() + name.size()) continue;
    const std::string stat = procStat(pid);
    const auto fields = statFields(stat);
    if (fields.size() < 2) continue;
    children.emplace(static_cast<pid_t>(number(fields[1])), pid);
  }
  std::vector<pid_t> tree{m_root};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const auto [first, last] = children.equal_range(tree[i]);
    for (auto it = first; it != last; ++it) tree.push_back(it->second);
  }
  return tree;
}

double ProcessTree::cpuSeconds() const {
  double seconds = 0;
  for (const pid_t pid : processes()) {
    const std::string stat = procStat(pid);
    seconds += cpuSecondsOf(statFields(stat));
  }
  return seconds;
}

std::map<std::string, double> ProcessTree::cpuSecondsByRole() const {
  std::map<std::string, double> roles;
  for (const pid_t pid : processes()) {
    const std::string stat = procStat(pid);
    roles[pid == m_root ? std::string("main") : roleOf(pid)] += cpuSecondsOf(statFields(stat));
  }
  return roles;
}

TreeMemory ProcessTree::memory() const {
  TreeMemory memory;
  for (const pid_t pid : processes()) {
    std::istringstream rollup(readFile("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    bool counted = false;
    for (std::string line; std::getline(rollup, line);) {
      std::istringstream fields(line);
      std::string key;
      std::uint64_t kib = 0;
      if (!(fields >> key >> kib)) continue;
      if (key == "Pss:") {
        memory.pssBytes += kib * 1024;
        counted = true;
      } else if (key == "Anonymous:") {
        memory.anonymousBytes += kib * 1024;
      }
    }
    if (counted) ++memory.processes;
  }
  return memory;
}

std::optional<double> ProcessTree::cpuUntilIdle(std::chrono::milliseconds timeout,
                                                std::chrono::milliseconds quiet,
                                                double busyShare) const {
  const auto start = Clock::now();
  const double startCpu = cpuSeconds();
  // The samples of the last `quiet` stretch, oldest first.
  std::deque<std::pair<Clock::time_point, double>> window{{start, startCpu}};
  while (Clock::now() - start < timeout) {
    std::this_thread::sleep_for(kSampleInterval);
    const auto now = Clock::now();
    const double cpu = cpuSeconds();
    window.emplace_back(now, cpu);
    while (window.size() > 2 && now - window[1].first >= quiet) window.pop_front();
    const auto [since, cpuThen] = window.front();
    const double seconds = std::chrono::duration<double>(now - since).count();
    if (now - since >= quiet && cpu - cpuThen <= busyShare * seconds) return cpu - startCpu;
  }
  return std::nullopt;
}

double ProcessTree::cpuShare(std::chrono::milliseconds span) const {
  const auto start = Clock::now();
  const double startCpu = cpuSeconds();
  std::this_thread::sleep_for(span);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return (cpuSeconds() - startCpu) / seconds;
}

double ProcessTree::cpuOverWindow(std::chrono::milliseconds window, double restingShare) const {
  const auto start = Clock::now();
  const double startCpu = cpuSeconds();
  std::this_thread::sleep_for(window);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // Below zero is the resting rate's own noise: the work cost nothing it could tell apart.
  return std::max(0.0, cpuSeconds() - startCpu - restingShare * seconds);
}

}  // namespace tessra::testing
