#include "files/directory_enumerator.h"

namespace tessra::files {

namespace fs = std::filesystem;

DirectoryEnumerator::DirectoryEnumerator(Path path) : m_path(std::move(path)) {
  m_base = m_path.systemText();
  std::error_code error;
  auto walk = std::make_unique<fs::recursive_directory_iterator>(
      m_base, fs::directory_options::none, error);
  if (!error) m_walk = std::move(walk);
}

std::optional<Path> DirectoryEnumerator::next() {
  if (!m_walk) return std::nullopt;
  if (m_started) {
    std::error_code error;
    m_walk->increment(error);
    if (error) {
      m_walk.reset();
      return std::nullopt;
    }
  }
  m_started = true;
  if (*m_walk == fs::recursive_directory_iterator()) {
    m_walk.reset();
    return std::nullopt;
  }
  return m_path + Path((*m_walk)->path().lexically_relative(m_base).string());
}

void DirectoryEnumerator::skipDescendants() {
  if (m_walk && m_started) m_walk->disable_recursion_pending();
}

}  // namespace tessra::files
