#include "files/file_attributes.h"

#include <utility>

namespace tessra::files {

std::optional<FilePermissions> FilePermissions::remove(FilePermissions o) {
  const FilePermissions removed = intersection(o);
  m_rawValue &= ~o.m_rawValue;
  if (removed.isEmpty()) return std::nullopt;
  return removed;
}

std::optional<FilePermissions> FilePermissions::update(FilePermissions o) {
  const FilePermissions present = intersection(o);
  m_rawValue |= o.m_rawValue;
  if (present.isEmpty()) return std::nullopt;
  return present;
}

std::string FilePermissions::description() const {
  std::string text = "FilePermissions[";
  bool first = true;
  for (const auto& [flag, name] :
       {std::pair{read, "Read"}, std::pair{write, "Write"}, std::pair{execute, "Execute"}}) {
    if (!contains(flag)) continue;
    if (!first) text += ", ";
    text += name;
    first = false;
  }
  return text + "]";
}

}  // namespace tessra::files
