// `SessionWriter`: writes session files on a worker of its own, so that saving a conversation
// while its answer streams never holds the GUI thread on a slow disk.
//
//   SessionWriter writer([](const std::string& key, std::uint64_t number, Result<void> outcome) {
//     ... on the worker: the outcome of the write numbered `number` ...
//   });
//   writer.writeLater("id", Paths::sessionFile("id"), 7, session);  // a copy taken now
//   writer.drop("id");        // a write of "id" not started yet will not happen
//   writer.afterWrites([] { ... on the worker, once the writes asked for so far have ended ... });
//   writer.waitForWrites();   // every write asked for so far has ended
//
// Writes run one after another in the order they were asked for, each atomically. A write of a
// key that has not started yet is replaced by a later one of the same key, which takes its place
// in the order: a burst of saves costs one write per turn of the worker, and only the latest
// content reaches the disk. The report names the number of the write that ran; the replaced ones
// are never reported.
//
// Threads: `writeLater`, `drop`, `afterWrites` and `waitForWrites` are called from one thread (the
// store's); the report runs on the worker. Destroying the writer finishes the writes asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include "Tessra/storage/chat_session.h"
#include "files/path.h"
#include "platform/foundation/error.h"
#include "platform/foundation/queue.h"

namespace tessra {

class SessionWriter {
 public:
  using Report = std::function<void(const std::string& key, std::uint64_t number, Result<void>)>;

  explicit SessionWriter(Report report);
  ~SessionWriter();
  SessionWriter(const SessionWriter&) = delete;
  SessionWriter& operator=(const SessionWriter&) = delete;

  // Writes `session` to `file` after the writes asked for before, in place of a write of `key`
  // that has not started yet.
  void writeLater(const std::string& key, files::Path file, std::uint64_t number,
                  ChatSession session);
  // Forgets the write of `key` that has not started yet, if there is one.
  void drop(const std::string& key);
  // Runs `job` on the worker once every write asked for so far has ended.
  void afterWrites(std::function<void()> job);
  // Returns once every write asked for so far has ended.
  void waitForWrites();

 private:
  struct Pending {
    files::Path file;
    std::uint64_t number = 0;
    ChatSession session;
  };

  void writeNext(const std::string& key);

  Report m_report;
  std::mutex m_mutex;                                  // guards m_pending
  std::unordered_map<std::string, Pending> m_pending;  // by key, not started yet
  platform::SerialQueue m_queue;
};

}  // namespace tessra
