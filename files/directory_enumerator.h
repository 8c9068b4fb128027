// Walks everything below a directory, directories before their contents, hidden items included,
// without following symbolic links into other folders. Each item comes back as the walked path
// joined with the item's relative text, so a relative walk yields relative paths.
//
//   for (const Path& item : Path("/data").enumerator()) { ... }
//
// A path that does not exist, a regular file or an empty directory yields nothing. An entry that
// cannot be read ends the walk. One enumerator is used from one thread.
#pragma once

#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>

#include "files/path.h"

namespace tessra::files {

class DirectoryEnumerator {
 public:
  explicit DirectoryEnumerator(Path path);

  const Path& path() const { return m_path; }

  // The next item, or nothing once the walk is over.
  std::optional<Path> next();
  // Do not descend into the directory that `next()` returned last.
  void skipDescendants();

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Path;
    using difference_type = std::ptrdiff_t;
    using pointer = const Path*;
    using reference = const Path&;

    Iterator() = default;
    explicit Iterator(DirectoryEnumerator* owner) : m_owner(owner) { advance(); }
    const Path& operator*() const { return *m_current; }
    const Path* operator->() const { return &*m_current; }
    Iterator& operator++() {
      advance();
      return *this;
    }
    void operator++(int) { advance(); }
    bool operator==(const Iterator& other) const {
      return !m_current.has_value() && !other.m_current.has_value();
    }

   private:
    void advance() { m_current = m_owner ? m_owner->next() : std::nullopt; }

    DirectoryEnumerator* m_owner = nullptr;
    std::optional<Path> m_current;
  };

  // The enumerator is its own sequence: iterating consumes it.
  Iterator begin() { return Iterator(this); }
  Iterator end() { return Iterator(); }

 private:
  Path m_path;
  std::filesystem::path m_base;
  std::unique_ptr<std::filesystem::recursive_directory_iterator> m_walk;
  bool m_started = false;
};

}  // namespace tessra::files
