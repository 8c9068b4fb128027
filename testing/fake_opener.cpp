#include "testing/fake_opener.h"

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

namespace tessra::testing {

namespace {

std::string pathWith(const std::filesystem::path& folder) {
  const char* old = std::getenv("PATH");
  return old && *old ? folder.string() + ":" + old : folder.string();
}

}  // namespace

FakeOpener::FakeOpener(int exitStatus) : m_path("PATH", pathWith(m_dir.path())) {
  const std::filesystem::path script = m_dir.write(
      "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + (m_dir / "opened").string() +
                      "'\nexit " + std::to_string(exitStatus) + "\n");
  ::chmod(script.c_str(), 0700);
}

std::vector<std::string> FakeOpener::opened() const {
  std::vector<std::string> lines;
  std::istringstream text(m_dir.read("opened"));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

}  // namespace tessra::testing
