// The stop signal of one chat request, shared by the request's producer, its tools and the
// consumer that may stop it.
//
//   auto cancellation = std::make_shared<Cancellation>();
//   Cancellation::Registration stop = cancellation->onCancel([task] { task.cancel(); });
//   ... blocking wait ...
//   if (cancellation->isCancelled()) throw RequestCancelledError();
//
// `cancel()` runs every registered handler once, on the cancelling thread, without holding the
// lock; a handler registered after the cancel runs at once. Handlers must be quick and must not
// wait for the producer: they abort transfers and wake waits. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/foundation/error.h"

namespace tessra {

// The request was stopped by its consumer. It ends the producer's work; nobody reports it.
class RequestCancelledError : public Error {
 public:
  RequestCancelledError() : Error("The request was cancelled.") {}
};

class Cancellation : public std::enable_shared_from_this<Cancellation> {
 public:
  // Removes its handler when destroyed.
  class Registration {
   public:
    Registration() = default;
    Registration(std::weak_ptr<Cancellation> owner, std::uint64_t id)
        : m_owner(std::move(owner)), m_id(id) {}
    Registration(Registration&& other) noexcept
        : m_owner(std::move(other.m_owner)), m_id(other.m_id) {
      other.m_owner.reset();
    }
    Registration& operator=(Registration&& other) noexcept;
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    ~Registration();

   private:
    std::weak_ptr<Cancellation> m_owner;
    std::uint64_t m_id = 0;
  };

  void cancel();
  bool isCancelled() const;
  // Throws RequestCancelledError once cancelled.
  void throwIfCancelled() const;
  [[nodiscard]] Registration onCancel(std::function<void()> handler);

 private:
  void remove(std::uint64_t id);

  mutable std::mutex m_mutex;  // guards the fields below
  bool m_cancelled = false;
  std::uint64_t m_nextId = 1;
  std::map<std::uint64_t, std::function<void()>> m_handlers;
};

}  // namespace tessra
