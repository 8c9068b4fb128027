#include "testing/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessra::testing {

TempDir::TempDir(const std::filesystem::path& parent) {
  std::filesystem::path base = parent;
  if (base.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp && *tmp ? tmp : "/tmp";
  }
  std::filesystem::create_directories(base);
  std::string pattern = (base / "tessra-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("Cannot make a temporary folder");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; give write access back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& content) const {
  const auto file = m_path / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("Cannot write " + file.string());
  return file;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(m_path / name, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool anyFileContains(const std::filesystem::path& folder, const std::string& text) {
  std::error_code ignored;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_regular_file(ignored)) continue;
    std::ifstream file(it->path(), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    if (content.str().find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace tessra::testing
