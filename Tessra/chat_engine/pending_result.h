// A result that another thread will deliver, waited for by the request's producer: the answer
// of one callback-based operation, or the request's cancellation, whichever comes first.
//
//   auto pending = std::make_shared<PendingResult<ImagesResult>>();
//   client.images(query, [pending](Result<ImagesResult> r) { pending->set(std::move(r)); });
//   auto stop = cancellation->onCancel([pending] { pending->cancel(); });
//   ImagesResult result = pending->take();  // throws the error, or RequestCancelledError
//
// The first delivery wins; later ones are dropped. Thread-safe.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

#include "Tessra/chat_engine/cancellation.h"
#include "platform/foundation/error.h"

namespace tessra {

template <class T>
class PendingResult {
 public:
  void set(Result<T> result) {
    {
      std::lock_guard lock(m_mutex);
      if (m_result) return;
      m_result = std::move(result);
    }
    m_ready.notify_all();
  }

  void cancel() { set(std::unexpected(std::make_exception_ptr(RequestCancelledError()))); }

  // Waits for the delivery; returns the value or throws the error.
  T take() {
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return m_result.has_value(); });
    Result<T> result = std::move(*m_result);
    if (!result) std::rethrow_exception(result.error());
    return std::move(*result);
  }

 private:
  std::mutex m_mutex;  // guards m_result
  std::condition_variable m_ready;
  std::optional<Result<T>> m_result;
};

}  // namespace tessra
