#include "files/file_system_events.h"

#include <span>
#include <string_view>
#include <utility>

namespace tessra::files {

namespace {

template <class Value>
using NameTable = std::span<const std::pair<Value, std::string_view>>;

template <class Value>
std::string describe(std::string_view type, Value value, NameTable<Value> table, bool debug) {
  std::string text(type);
  text += '[';
  bool first = true;
  for (const auto& [bits, name] : table) {
    if ((value & bits) != bits) continue;
    if (!first) text += ", ";
    if (debug) text += "(" + std::to_string(bits) + ")";
    text += name;
    first = false;
  }
  return text + "]";
}

using D = DispatchFileSystemEvents;
constexpr std::pair<std::uint64_t, std::string_view> kDispatchNames[] = {
    {D::Delete, "Delete"},       {D::Write, "Write"},   {D::Extend, "Extend"},
    {D::Attribute, "Attribute"}, {D::Link, "Link"},     {D::Rename, "Rename"},
    {D::Revoke, "Revoke"},       {D::Create, "Create"}, {D::All, "All"},
};

using F = FileSystemEventFlags;
constexpr std::pair<std::int64_t, std::string_view> kFlagNames[] = {
    {F::None, "None"},
    {F::MustScanSubDirs, "MustScanSubDirs"},
    {F::UserDropped, "UserDropped"},
    {F::KernelDropped, "KernelDropped"},
    {F::EventIdsWrapped, "EventIdsWrapped"},
    {F::HistoryDone, "HistoryDone"},
    {F::RootChanged, "RootChanged"},
    {F::Mount, "Mount"},
    {F::Unmount, "Unmount"},
    {F::ItemRemoved, "ItemRemoved"},
    {F::ItemInodeMetaMod, "ItemInodeMetaMod"},
    {F::ItemRenamed, "ItemRenamed"},
    {F::ItemModified, "ItemModified"},
    {F::ItemFinderInfoMod, "ItemFinderInfoMod"},
    {F::ItemChangeOwner, "ItemChangeOwner"},
    {F::ItemXattrMod, "ItemXattrMod"},
    {F::ItemIsFile, "ItemIsFile"},
    {F::ItemIsDir, "ItemIsDir"},
    {F::ItemIsSymlink, "ItemIsSymlink"},
    {F::OwnEvent, "OwnEvent"},
    {F::ItemIsHardlink, "ItemIsHardlink"},
    {F::ItemIsLastHardlink, "ItemIsLastHardlink"},
};

using C = FileSystemEventStreamCreateFlags;
constexpr std::pair<std::int64_t, std::string_view> kCreateNames[] = {
    {C::None, "None"},           {C::UseCFTypes, "UseCFTypes"}, {C::FlagNoDefer, "FlagNoDefer"},
    {C::WatchRoot, "WatchRoot"}, {C::IgnoreSelf, "IgnoreSelf"}, {C::FileEvents, "FileEvents"},
    {C::MarkSelf, "MarkSelf"},
};

}  // namespace

std::string DispatchFileSystemEvents::description() const {
  return describe<std::uint64_t>("DispatchFileSystemEvents", rawValue, kDispatchNames, false);
}
std::string DispatchFileSystemEvents::debugDescription() const {
  return describe<std::uint64_t>("DispatchFileSystemEvents", rawValue, kDispatchNames, true);
}
std::string FileSystemEventFlags::description() const {
  return describe<std::int64_t>("FileSystemEventFlags", rawValue, kFlagNames, false);
}
std::string FileSystemEventFlags::debugDescription() const {
  return describe<std::int64_t>("FileSystemEventFlags", rawValue, kFlagNames, true);
}
std::string FileSystemEventStreamCreateFlags::description() const {
  return describe<std::int64_t>("FileSystemEventStreamCreateFlags", rawValue, kCreateNames, false);
}
std::string FileSystemEventStreamCreateFlags::debugDescription() const {
  return describe<std::int64_t>("FileSystemEventStreamCreateFlags", rawValue, kCreateNames, true);
}

}  // namespace tessra::files
