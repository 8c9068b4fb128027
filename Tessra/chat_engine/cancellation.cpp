#include "Tessra/chat_engine/cancellation.h"

#include <utility>
#include <vector>

namespace tessra {

Cancellation::Registration& Cancellation::Registration::operator=(Registration&& other) noexcept {
  if (this == &other) return *this;
  if (auto owner = m_owner.lock()) owner->remove(m_id);
  m_owner = std::move(other.m_owner);
  m_id = other.m_id;
  other.m_owner.reset();
  return *this;
}

Cancellation::Registration::~Registration() {
  if (auto owner = m_owner.lock()) owner->remove(m_id);
}

void Cancellation::cancel() {
  std::map<std::uint64_t, std::function<void()>> handlers;
  {
    std::lock_guard lock(m_mutex);
    if (m_cancelled) return;
    m_cancelled = true;
    handlers = std::move(m_handlers);
    m_handlers.clear();
  }
  for (auto& [id, handler] : handlers) handler();
}

bool Cancellation::isCancelled() const {
  std::lock_guard lock(m_mutex);
  return m_cancelled;
}

void Cancellation::throwIfCancelled() const {
  if (isCancelled()) throw RequestCancelledError();
}

Cancellation::Registration Cancellation::onCancel(std::function<void()> handler) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_cancelled) {
      const std::uint64_t id = m_nextId++;
      m_handlers.emplace(id, std::move(handler));
      return Registration(weak_from_this(), id);
    }
  }
  handler();
  return {};
}

void Cancellation::remove(std::uint64_t id) {
  std::lock_guard lock(m_mutex);
  m_handlers.erase(id);
}

}  // namespace tessra
