#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "files/dispatch_file_system_watcher.h"
#include "files/file_system_watcher.h"
#include "platform/foundation/queue.h"
#include "testing/temp_dir.h"

namespace tessra::files {
namespace {

using namespace std::chrono_literals;
using Events = DispatchFileSystemEvents;
using Flags = FileSystemEventFlags;

// Only a net for a notification that never comes, far above what a loaded machine takes.
constexpr auto kDeadline = 30s;

// Collects notifications from the watcher thread; the test waits on a condition with a deadline.
template <class Item>
class Recorder {
 public:
  void add(Item item) {
    {
      std::lock_guard lock(m_mutex);
      m_items.push_back(std::move(item));
    }
    m_changed.notify_all();
  }
  template <class Predicate>
  bool waitFor(Predicate predicate) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kDeadline, [&] { return predicate(m_items); });
  }
  std::vector<Item> items() const {
    std::lock_guard lock(m_mutex);
    return m_items;
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Item> m_items;
};

class NameRecorder : public DispatchFileSystemWatcherDelegate, public Recorder<std::string> {
 public:
  void didObserveDelete(DispatchFileSystemWatcher&) override { add("delete"); }
  void didObserveWrite(DispatchFileSystemWatcher&) override { add("write"); }
  void didObserveExtend(DispatchFileSystemWatcher&) override { add("extend"); }
  void didObserveAttribute(DispatchFileSystemWatcher&) override { add("attribute"); }
  void didObserveLink(DispatchFileSystemWatcher&) override { add("link"); }
  void didObserveRename(DispatchFileSystemWatcher&) override { add("rename"); }
  void didObserveCreate(DispatchFileSystemWatcher&) override { add("create"); }
  void didObserveDirectoryChange(DispatchFileSystemWatcher&) override { add("directory"); }
};

bool has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A queue that keeps its jobs until the test runs them, so a test can stop a watcher while a
// notification is known to be waiting on its queue.
class HeldQueue final : public platform::Queue {
 public:
  ~HeldQueue() override { detachFromScheduler(); }
  void async(platform::Job job) override {
    {
      std::lock_guard lock(m_mutex);
      m_jobs.push_back(std::move(job));
    }
    m_posted.notify_all();
  }
  bool waitForJob() {
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(lock, kDeadline, [&] { return !m_jobs.empty(); });
  }
  void runAll() {
    std::vector<platform::Job> jobs;
    {
      std::lock_guard lock(m_mutex);
      jobs.swap(m_jobs);
    }
    for (const auto& job : jobs) job();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_posted;
  std::vector<platform::Job> m_jobs;
};

class Watchers : public ::testing::Test {
 protected:
  Path at(const std::string& name) const { return Path(m_dir.path().string()) + name; }
  testing::TempDir m_dir;
};

TEST_F(Watchers, StartingTwiceAnswersTrueThenFalse) {
  m_dir.write("file", "x");
  auto delegate = std::make_shared<NameRecorder>();
  auto watcher = DispatchFileSystemWatcher::make(at("file"), {Events::All});
  watcher->setDelegate(delegate);
  EXPECT_TRUE(watcher->startWatching());
  EXPECT_NE(watcher->fileDescriptor(), -1);
  EXPECT_FALSE(watcher->startWatching());
  watcher->stopWatching();
  EXPECT_EQ(watcher->fileDescriptor(), -1);
  // Nobody to tell: nothing is opened.
  EXPECT_FALSE(DispatchFileSystemWatcher::make(at("file"), {Events::All})->startWatching());
}

TEST_F(Watchers, MissingItemNeedsCreate) {
  auto delegate = std::make_shared<NameRecorder>();
  auto without = DispatchFileSystemWatcher::make(at("later"), {Events::Write});
  without->setDelegate(delegate);
  EXPECT_FALSE(without->startWatching());
  auto orphan = DispatchFileSystemWatcher::make(at("no/such/folder/later"), {Events::All});
  orphan->setDelegate(delegate);
  EXPECT_FALSE(orphan->startWatching());
}

TEST_F(Watchers, CreationIsReportedOnceThenWritesOfTheNewFile) {
  auto delegate = std::make_shared<NameRecorder>();
  auto watcher = watch(at("later.txt"), {Events::All}, nullptr, delegate);
  EXPECT_NE(watcher->createWatcher(), nullptr);
  EXPECT_EQ(watcher->currentEvent(), Events{Events::Create});
  m_dir.write("unrelated", "x");
  m_dir.write("later.txt", "");
  ASSERT_TRUE(delegate->waitFor([](const auto& names) { return has(names, "create"); }));
  EXPECT_EQ(watcher->createWatcher(), nullptr);
  m_dir.write("later.txt", "more");
  ASSERT_TRUE(delegate->waitFor([](const auto& names) { return has(names, "write"); }));
  const auto names = delegate->items();
  EXPECT_EQ(std::count(names.begin(), names.end(), "create"), 1);
  EXPECT_FALSE(has(names, "directory"));
}

TEST_F(Watchers, FileChangesReachTheDelegate) {
  m_dir.write("file", "x");
  auto delegate = std::make_shared<NameRecorder>();
  auto watcher = watch(at("file"), {Events::All}, nullptr, delegate);
  m_dir.write("file", "longer content");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "write") && has(n, "extend"); }));
  ::chmod((m_dir.path() / "file").c_str(), 0600);
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "attribute"); }));
  std::filesystem::create_hard_link(m_dir.path() / "file", m_dir.path() / "second");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "link"); }));
  std::filesystem::rename(m_dir.path() / "file", m_dir.path() / "renamed");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "rename"); }));
  std::filesystem::remove(m_dir.path() / "renamed");
  std::filesystem::remove(m_dir.path() / "second");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "delete"); }));
}

TEST_F(Watchers, DirectoryEntriesAreDirectoryChangesNeverWrites) {
  std::filesystem::create_directory(m_dir.path() / "folder");
  auto delegate = std::make_shared<NameRecorder>();
  auto watcher = watch(at("folder"), {Events::All}, nullptr, delegate);
  m_dir.write("folder/new", "x");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "directory"); }));
  std::filesystem::create_directory(m_dir.path() / "folder/sub");
  ASSERT_TRUE(delegate->waitFor([](const auto& n) { return has(n, "link"); }));
  EXPECT_FALSE(has(delegate->items(), "write"));
}

TEST_F(Watchers, CallbackReplacesTheDelegateAndRunsOnTheGivenQueue) {
  m_dir.write("file", "x");
  platform::SerialQueue queue("watcher test");
  Recorder<std::pair<std::uint64_t, bool>> seen;
  auto delegate = std::make_shared<NameRecorder>();
  auto watcher = watch(at("file"), {Events::Write | Events::Extend}, &queue, delegate,
                       [&](DispatchFileSystemWatcher& w) {
                         seen.add({w.currentEvent().rawValue, queue.isCurrent()});
                       });
  m_dir.write("file", "grown");
  // Truncating and writing are two changes: they may come as one delivery or as two.
  ASSERT_TRUE(seen.waitFor([](const auto& items) {
    return std::any_of(items.begin(), items.end(),
                       [](const auto& item) { return (item.first & Events::Extend) != 0; });
  }));
  for (const auto& [bits, onQueue] : seen.items()) {
    EXPECT_TRUE(onQueue);
    EXPECT_TRUE(Events{Events::Write | Events::Extend}.contains(bits)) << bits;
    EXPECT_TRUE((bits & Events::Write) != 0) << bits;
  }
  EXPECT_TRUE(delegate->items().empty());
  watcher->stopWatching();
}

TEST_F(Watchers, ANotificationQueuedBeforeStoppingIsDropped) {
  m_dir.write("file", "x");
  HeldQueue queue;
  std::atomic<int> delivered{0};
  auto watcher = watch(at("file"), {Events::Write}, &queue, {},
                       [&](DispatchFileSystemWatcher&) { ++delivered; });
  m_dir.write("file", "changed");
  ASSERT_TRUE(queue.waitForJob());
  watcher->stopWatching();
  queue.runAll();
  EXPECT_EQ(delivered.load(), 0);

  // Started again, it delivers again.
  ASSERT_TRUE(watcher->startWatching());
  m_dir.write("file", "again");
  ASSERT_TRUE(queue.waitForJob());
  queue.runAll();
  EXPECT_GE(delivered.load(), 1);
}

TEST(FileSystemEventDescriptions, NameTheContainedConstantsInTableOrder) {
  EXPECT_EQ(FileSystemEventFlags{0x1000}.description(), "FileSystemEventFlags[None, ItemModified]");
  EXPECT_EQ(FileSystemEventFlags{0x100}.description(), "FileSystemEventFlags[None]");
  EXPECT_EQ(FileSystemEventFlags{0x10200}.debugDescription(),
            "FileSystemEventFlags[(0)None, (512)ItemRemoved, (65536)ItemIsFile]");
  EXPECT_EQ((DispatchFileSystemEvents{Events::Write | Events::Delete}).description(),
            "DispatchFileSystemEvents[Delete, Write]");
  EXPECT_EQ(DispatchFileSystemEvents{Events::All}.description(),
            "DispatchFileSystemEvents[Delete, Write, Extend, Attribute, Link, Rename, Revoke, "
            "Create, All]");
  EXPECT_EQ(FileSystemEventStreamCreateFlags{0x11}.description(),
            "FileSystemEventStreamCreateFlags[None, UseCFTypes, FileEvents]");
}

class EventStream : public Watchers {
 protected:
  std::string path(const std::string& name) const { return at(name).rawValue(); }
  static bool sawFor(const std::vector<FileSystemEvent>& events, const std::string& path,
                     std::int64_t flags) {
    for (const auto& e : events) {
      if (e.path.rawValue() == path && e.flags.contains(flags)) return true;
    }
    return false;
  }
};

TEST_F(EventStream, CreateWriteRenameAndDeleteArriveWithTheirFlags) {
  Recorder<FileSystemEvent> events;
  auto stream = watchStream({Path(m_dir.path().string())}, 0.05, nullptr,
                            [&](const FileSystemEvent& e) { events.add(e); });
  ASSERT_TRUE(stream->isStarted());
  m_dir.write("a.txt", "x");
  ASSERT_TRUE(events.waitFor([&](const auto& e) {
    return sawFor(e, path("a.txt"), Flags::ItemCreated | Flags::ItemIsFile);
  }));
  m_dir.write("a.txt", "more");
  ASSERT_TRUE(
      events.waitFor([&](const auto& e) { return sawFor(e, path("a.txt"), Flags::ItemModified); }));
  std::filesystem::rename(m_dir.path() / "a.txt", m_dir.path() / "b.txt");
  ASSERT_TRUE(
      events.waitFor([&](const auto& e) { return sawFor(e, path("b.txt"), Flags::ItemRenamed); }));
  std::filesystem::remove(m_dir.path() / "b.txt");
  ASSERT_TRUE(
      events.waitFor([&](const auto& e) { return sawFor(e, path("b.txt"), Flags::ItemRemoved); }));

  // Folders made later are watched too, also when moved about.
  std::filesystem::create_directories(m_dir.path() / "new/inner");
  m_dir.write("new/inner/deep.txt", "x");
  ASSERT_TRUE(events.waitFor(
      [&](const auto& e) { return sawFor(e, path("new/inner/deep.txt"), Flags::ItemCreated); }));
  std::filesystem::rename(m_dir.path() / "new", m_dir.path() / "moved");
  m_dir.write("moved/inner/after.txt", "x");
  ASSERT_TRUE(events.waitFor(
      [&](const auto& e) { return sawFor(e, path("moved/inner/after.txt"), Flags::ItemCreated); }));

  // Closing waits for a delivery in progress, so the last id is settled afterwards.
  stream->close();
  EXPECT_FALSE(stream->isStarted());
  const auto all = events.items();
  for (std::size_t i = 1; i < all.size(); ++i) EXPECT_GT(all[i].id, all[i - 1].id);
  EXPECT_EQ(stream->lastEventId(), all.back().id);
  const std::size_t before = events.items().size();
  m_dir.write("after-close.txt", "x");
  stream->flushSync();
  EXPECT_EQ(events.items().size(), before);
}

TEST_F(EventStream, ABatchQueuedBeforeClosingIsDropped) {
  HeldQueue queue;
  std::atomic<int> delivered{0};
  auto stream = watchStream({Path(m_dir.path().string())}, 0.01, &queue,
                            [&](const FileSystemEvent&) { ++delivered; });
  m_dir.write("a.txt", "x");
  ASSERT_TRUE(queue.waitForJob());
  stream->close();
  queue.runAll();
  EXPECT_EQ(delivered.load(), 0);
}

TEST_F(EventStream, WithoutFileEventsTheFolderIsReported) {
  std::filesystem::create_directory(m_dir.path() / "folder");
  Recorder<FileSystemEvent> events;
  auto stream = FileSystemWatcher::make(
      {Path(m_dir.path().string())}, FileSystemEvent::sinceNowEventId,
      {FileSystemEventStreamCreateFlags::UseCFTypes}, nullptr,
      [&](const FileSystemEvent& e) { events.add(e); }, 0.05);
  stream->watch();
  m_dir.write("folder/x", "1");
  ASSERT_TRUE(events.waitFor([&](const auto& e) {
    return !e.empty() && e.back().path.rawValue() == path("folder") &&
           e.back().flags == Flags{Flags::None};
  }));
}

TEST_F(EventStream, HistoryCannotBeReplayedSoItEndsAtOnce) {
  Recorder<FileSystemEvent> events;
  auto stream = FileSystemWatcher::make(
      {Path(m_dir.path().string())}, FileSystemEvent::sinceBeginningEventId,
      {FileSystemEventStreamCreateFlags::UseCFTypes | FileSystemEventStreamCreateFlags::FileEvents},
      nullptr, [&](const FileSystemEvent& e) { events.add(e); }, 0.05);
  EXPECT_EQ(stream->lastEventId(), 0u);
  stream->watch();
  ASSERT_TRUE(events.waitFor([](const auto& e) { return !e.empty(); }));
  EXPECT_TRUE(events.items().front().flags.contains(Flags::HistoryDone));
  stream->close();
  EXPECT_EQ(stream->lastEventId(), events.items().back().id);
}

TEST_F(EventStream, WatchedRootRemovalIsReported) {
  std::filesystem::create_directory(m_dir.path() / "root");
  Recorder<FileSystemEvent> events;
  auto stream = FileSystemWatcher::make(
      {at("root")}, FileSystemEvent::sinceNowEventId,
      {FileSystemEventStreamCreateFlags::FileEvents | FileSystemEventStreamCreateFlags::WatchRoot},
      nullptr, [&](const FileSystemEvent& e) { events.add(e); }, 0.05);
  stream->watch();
  std::filesystem::remove(m_dir.path() / "root");
  ASSERT_TRUE(
      events.waitFor([&](const auto& e) { return sawFor(e, path("root"), Flags::RootChanged); }));
  EXPECT_FALSE(FileSystemWatcher::make(
                   {at("missing")}, FileSystemEvent::sinceNowEventId, {}, nullptr,
                   [](const FileSystemEvent&) {}, 0.1)
                   ->isStarted());
}

}  // namespace
}  // namespace tessra::files
