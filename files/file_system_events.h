// The event bit sets of the watchers and their text forms.
//
// `description()` reads "<Type>[<names of the contained constants, in table order>]"; a constant
// is contained when all its bits are set, so the zero constant `None` of the two stream sets is
// named in every description. `debugDescription()` writes each contained constant as
// "(<decimal value>)<name>".
#pragma once

#include <cstdint>
#include <string>

#include "files/path.h"

namespace tessra::files {

// What the single-item watcher reports.
struct DispatchFileSystemEvents {
  std::uint64_t rawValue = 0;

  static constexpr std::uint64_t Delete = 0x1;
  static constexpr std::uint64_t Write = 0x2;
  static constexpr std::uint64_t Extend = 0x4;
  static constexpr std::uint64_t Attribute = 0x8;
  static constexpr std::uint64_t Link = 0x10;
  static constexpr std::uint64_t Rename = 0x20;
  static constexpr std::uint64_t Revoke = 0x40;
  // The item came into existence; reported by the watcher itself, not by the kernel.
  static constexpr std::uint64_t Create = 0x1000;
  static constexpr std::uint64_t All = 0x107F;

  constexpr bool contains(std::uint64_t bits) const { return (rawValue & bits) == bits; }
  constexpr bool isEmpty() const { return rawValue == 0; }
  std::string description() const;
  std::string debugDescription() const;
  constexpr bool operator==(const DispatchFileSystemEvents&) const = default;
};

// Per-event flags of the multi-path event stream.
struct FileSystemEventFlags {
  std::int64_t rawValue = 0;

  static constexpr std::int64_t None = 0x0;
  static constexpr std::int64_t MustScanSubDirs = 0x1;
  static constexpr std::int64_t UserDropped = 0x2;
  static constexpr std::int64_t KernelDropped = 0x4;
  static constexpr std::int64_t EventIdsWrapped = 0x8;
  static constexpr std::int64_t HistoryDone = 0x10;
  static constexpr std::int64_t RootChanged = 0x20;
  static constexpr std::int64_t Mount = 0x40;
  static constexpr std::int64_t Unmount = 0x80;
  static constexpr std::int64_t ItemCreated = 0x100;
  static constexpr std::int64_t ItemRemoved = 0x200;
  static constexpr std::int64_t ItemInodeMetaMod = 0x400;
  static constexpr std::int64_t ItemRenamed = 0x800;
  static constexpr std::int64_t ItemModified = 0x1000;
  static constexpr std::int64_t ItemFinderInfoMod = 0x2000;
  static constexpr std::int64_t ItemChangeOwner = 0x4000;
  static constexpr std::int64_t ItemXattrMod = 0x8000;
  static constexpr std::int64_t ItemIsFile = 0x10000;
  static constexpr std::int64_t ItemIsDir = 0x20000;
  static constexpr std::int64_t ItemIsSymlink = 0x40000;
  static constexpr std::int64_t OwnEvent = 0x80000;
  static constexpr std::int64_t ItemIsHardlink = 0x100000;
  static constexpr std::int64_t ItemIsLastHardlink = 0x200000;

  constexpr bool contains(std::int64_t bits) const { return (rawValue & bits) == bits; }
  // The descriptions never name ItemCreated (its naming table leaves it out).
  std::string description() const;
  std::string debugDescription() const;
  constexpr bool operator==(const FileSystemEventFlags&) const = default;
};

// How a multi-path event stream is created.
struct FileSystemEventStreamCreateFlags {
  std::int64_t rawValue = 0;

  static constexpr std::int64_t None = 0x0;
  static constexpr std::int64_t UseCFTypes = 0x1;
  static constexpr std::int64_t FlagNoDefer = 0x2;
  static constexpr std::int64_t WatchRoot = 0x4;
  static constexpr std::int64_t IgnoreSelf = 0x8;
  static constexpr std::int64_t FileEvents = 0x10;
  static constexpr std::int64_t MarkSelf = 0x20;

  constexpr bool contains(std::int64_t bits) const { return (rawValue & bits) == bits; }
  std::string description() const;
  std::string debugDescription() const;
  constexpr bool operator==(const FileSystemEventStreamCreateFlags&) const = default;
};

struct FileSystemEvent {
  static constexpr std::uint64_t sinceBeginningEventId = 0;
  static constexpr std::uint64_t sinceNowEventId = 0xFFFFFFFFFFFFFFFF;

  std::uint64_t id = 0;
  Path path;
  FileSystemEventFlags flags;
};

}  // namespace tessra::files
