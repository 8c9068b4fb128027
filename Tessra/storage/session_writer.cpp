#include "Tessra/storage/session_writer.h"

#include <exception>
#include <optional>
#include <utility>

#include "files/json_file.h"

namespace tessra {

SessionWriter::SessionWriter(Report report)
    : m_report(std::move(report)), m_queue("org.tessra.Tessra.sessions") {}

SessionWriter::~SessionWriter() { waitForWrites(); }

void SessionWriter::writeLater(const std::string& key, files::Path file, std::uint64_t number,
                               ChatSession session) {
  {
    std::lock_guard lock(m_mutex);
    auto [pending, added] =
        m_pending.insert_or_assign(key, Pending{std::move(file), number, std::move(session)});
    // A write of the key is already on its way to the worker: it will take this content.
    if (!added) return;
  }
  m_queue.async([this, key] { writeNext(key); });
}

void SessionWriter::drop(const std::string& key) {
  std::lock_guard lock(m_mutex);
  m_pending.erase(key);
}

void SessionWriter::afterWrites(std::function<void()> job) { m_queue.async(std::move(job)); }

void SessionWriter::waitForWrites() {
  m_queue.sync([] {});
}

void SessionWriter::writeNext(const std::string& key) {
  std::optional<Pending> next;
  {
    std::lock_guard lock(m_mutex);
    const auto found = m_pending.find(key);
    if (found == m_pending.end()) return;  // dropped
    next = std::move(found->second);
    m_pending.erase(found);
  }
  Result<void> outcome;
  try {
    files::JsonFile<ChatSession>(next->file).write(next->session);
  } catch (const std::exception&) {
    outcome = std::unexpected(std::current_exception());
  }
  if (m_report) m_report(key, next->number, std::move(outcome));
}

}  // namespace tessra
