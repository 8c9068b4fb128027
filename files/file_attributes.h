// Permissions as the process sees them, and the attributes of one file-system item.
//
// `FilePermissions` answers "may this process read, write, execute the item?" (not the mode
// bits: those are `FileAttributes::posixPermissions`). `FileAttributes` is what `Path::attributes`
// reads and, for the fields that can change, what `Path::setAttributes` applies.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "files/file_type.h"
#include "platform/foundation/date.h"

namespace tessra::files {

class FilePermissions {
 public:
  static const FilePermissions read;
  static const FilePermissions write;
  static const FilePermissions execute;

  constexpr FilePermissions() = default;
  constexpr explicit FilePermissions(int rawValue) : m_rawValue(rawValue) {}
  constexpr FilePermissions(std::initializer_list<FilePermissions> flags) {
    for (const auto flag : flags) m_rawValue |= flag.m_rawValue;
  }

  constexpr int rawValue() const { return m_rawValue; }
  constexpr bool isEmpty() const { return m_rawValue == 0; }
  constexpr bool contains(FilePermissions other) const {
    return (m_rawValue & other.m_rawValue) == other.m_rawValue;
  }

  constexpr FilePermissions unionWith(FilePermissions o) const {
    return FilePermissions(m_rawValue | o.m_rawValue);
  }
  constexpr FilePermissions intersection(FilePermissions o) const {
    return FilePermissions(m_rawValue & o.m_rawValue);
  }
  constexpr FilePermissions symmetricDifference(FilePermissions o) const {
    return FilePermissions(m_rawValue ^ o.m_rawValue);
  }
  constexpr FilePermissions subtracting(FilePermissions o) const {
    return FilePermissions(m_rawValue & ~o.m_rawValue);
  }
  constexpr void insert(FilePermissions o) { m_rawValue |= o.m_rawValue; }
  // The flags that were present and are now removed, or nothing when none were.
  std::optional<FilePermissions> remove(FilePermissions o);
  // The flags of `o` that were already present, or nothing; `o` is present afterwards.
  std::optional<FilePermissions> update(FilePermissions o);

  // "FilePermissions[Read, Write]"; the empty set gives "FilePermissions[]".
  std::string description() const;

  constexpr bool operator==(const FilePermissions&) const = default;

 private:
  int m_rawValue = 0;
};

constexpr FilePermissions operator|(FilePermissions a, FilePermissions b) { return a.unionWith(b); }
constexpr FilePermissions operator&(FilePermissions a, FilePermissions b) {
  return a.intersection(b);
}

inline constexpr FilePermissions FilePermissions::read(1);
inline constexpr FilePermissions FilePermissions::write(2);
inline constexpr FilePermissions FilePermissions::execute(4);

// The attributes of an item, its own (a final symbolic link is not followed). Every field is
// absent when it could not be read. On writing, only `modificationDate`, `posixPermissions` and the
// owner and group fields are applied; the others describe the item and cannot be set here.
struct FileAttributes {
  std::optional<FileType> type;
  std::optional<std::uint64_t> size;
  std::optional<platform::Date> creationDate;
  std::optional<platform::Date> modificationDate;
  std::optional<std::string> ownerName;
  std::optional<std::string> groupName;
  std::optional<std::uint64_t> ownerID;
  std::optional<std::uint64_t> groupID;
  std::optional<std::uint64_t> referenceCount;
  std::optional<std::uint64_t> systemFileNumber;
  std::optional<std::int16_t> posixPermissions;

  bool isEmpty() const { return *this == FileAttributes{}; }
  bool operator==(const FileAttributes&) const = default;
};

}  // namespace tessra::files
