#include "bench/tree_memory.h"

#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWidget>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tessra::bench {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The parent in /proc/<pid>/stat: the second field after the command name, which may hold blanks
// and parentheses.
std::optional<pid_t> parentOf(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const auto nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string state;
  pid_t parent = 0;
  if (!(fields >> state >> parent)) return std::nullopt;
  return parent;
}

std::vector<pid_t> processTree(pid_t root) {
  std::multimap<pid_t, pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    const auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end != name.data() + name.size()) continue;
    if (const auto parent = parentOf(pid)) children.emplace(*parent, pid);
  }
  std::vector<pid_t> tree{root};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const auto [first, last] = children.equal_range(tree[i]);
    for (auto it = first; it != last; ++it) tree.push_back(it->second);
  }
  return tree;
}

}  // namespace

MemoryUse memoryOfProcessTree(pid_t root) {
  MemoryUse use;
  for (const pid_t pid : processTree(root)) {
    std::istringstream rollup(readFile("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    bool counted = false;
    for (std::string line; std::getline(rollup, line);) {
      std::istringstream fields(line);
      std::string key;
      std::uint64_t kib = 0;
      if (!(fields >> key >> kib)) continue;
      if (key == "Pss:") {
        use.pssBytes += kib * 1024;
        counted = true;
      } else if (key == "Anonymous:") {
        use.anonymousBytes += kib * 1024;
      }
    }
    if (counted) ++use.processes;
  }
  return use;
}

void printTreeMemory(const char* stage) {
  QTest::qWait(2000);
  const MemoryUse use = memoryOfProcessTree(::getpid());
  QTextStream(stdout) << stage << ' ' << use.pssBytes << ' ' << use.anonymousBytes << Qt::endl;
}

int printBareWebViewMemory() {
  QWidget window;
  window.resize(500, 1000);
  auto* view = new QWebEngineView(&window);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view);
  bool loaded = false;
  QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
  view->setHtml(QStringLiteral("<html><body><p>A short page.</p></body></html>"));
  window.show();
  if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitFor([&] { return loaded; }, 30000))
    return 1;
  printTreeMemory("bare");
  return 0;
}

std::optional<std::map<std::string, MemoryUse>> memoryOfChildRun(const QString& program,
                                                                 const QStringList& arguments) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(program, arguments);
  if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit ||
      child.exitCode() != 0)
    return std::nullopt;
  std::map<std::string, MemoryUse> stages;
  for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 3) continue;
    stages[fields[0].toStdString()] = {.pssBytes = fields[1].toULongLong(),
                                       .anonymousBytes = fields[2].toULongLong()};
  }
  return stages;
}

}  // namespace tessra::bench
