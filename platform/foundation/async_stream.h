// A stream of values handed from a producer on one thread to a consumer on another, through a
// buffer: the producer never waits and nothing is dropped while the stream is open.
//
// A stream has two handles over one shared state, so either may outlive the other:
//
//   auto [stream, continuation] = AsyncStream<Chunk>::makeStream();
//   continuation.setOnTermination([&](StreamTermination how) { ... });  // e.g. stop a transfer
//   // producer, any thread:
//   continuation.yield(chunk);
//   continuation.finish();                 // or finish(std::make_exception_ptr(error))
//   // consumer, on a worker:
//   while (auto chunk = stream.next()) { ... }   // rethrows the finishing error once
//   // or, delivered in order on a queue:
//   stream.forEach(mainQueue(), [](Chunk c) { ... }, [](ErrorPtr error) { ... });
//
// Buffering. The buffer keeps every element until the consumer takes it. A stream made with a
// merge (`makeStream(merge)`) folds an element into the last one still waiting when the merge
// says they fold, so a producer far ahead of its consumer piles up no backlog: the consumer gets
// what changed since it last looked, in one element.
//
//   auto [stream, continuation] = AsyncStream<Delta>::makeStream(
//       [](Delta& waiting, const Delta& next) { return waiting.absorb(next); });
//
// Producer side (`Continuation`, copyable; all copies are the one producer): `yield` appends,
// `finish` ends the stream normally or with an error. Once the stream has finished or was
// cancelled, further yields and finishes are dropped. When the last copy is destroyed without
// finishing, the stream finishes with `AsyncStreamAbandonedError`, so a consumer never waits for
// a producer that is gone.
//
// Consumer side (`AsyncStream`, move-only): after the finish, the buffered elements come first,
// then the end (the error, raised once). `forEach` delivers one element per job of its queue, so
// a stream that never pauses still leaves the queue's other jobs their turn (on the main queue:
// the user's clicks and the window's paints). `cancel()`, or destroying the handle, stops the
// stream: the buffer is dropped, a waiting `next()` returns the end without error, no further
// element is delivered by `forEach` (none at all once `cancel()` has returned on the delivering
// queue), and `onFinish` is not called.
//
// The termination handler runs exactly once: on the producer's thread at the finish, or on the
// consumer's thread at a cancel of an open stream. Set after the stream has ended, it runs at
// once. No lock is held while any handler runs (a merge aside, see `Merge`). Handlers must not
// throw: an exception out of `onElement` or `onFinish` cancels the stream and is reported by the
// queue.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/foundation/error.h"
#include "platform/foundation/queue.h"

namespace tessra::platform {

// The producer released its side of a stream without finishing it.
class AsyncStreamAbandonedError : public Error {
 public:
  AsyncStreamAbandonedError() : Error("The stream ended before its producer finished it.") {}
};

enum class StreamTermination { finished, cancelled };

namespace detail {

// The state both handles of one stream share. Every field is guarded by `mutex`.
template <class T>
class AsyncStreamState : public std::enable_shared_from_this<AsyncStreamState<T>> {
 public:
  using TerminationHandler = std::function<void(StreamTermination)>;
  using Merge = std::function<bool(T& waiting, const T& next)>;

  explicit AsyncStreamState(Merge merge) : m_merge(std::move(merge)) {}

  bool yield(T value) {
    std::unique_lock lock(m_mutex);
    if (m_phase != Phase::open) return false;
    if (m_buffer.empty() || !m_merge || !m_merge(m_buffer.back(), value))
      m_buffer.push_back(std::move(value));
    const bool pump = claimPump();
    // Waking costs a system call; a producer far ahead of its consumer skips it.
    const bool wake = m_waiters > 0;
    lock.unlock();
    if (wake) m_available.notify_all();
    if (pump) schedulePump();
    return true;
  }

  void finish(ErrorPtr error) {
    std::unique_lock lock(m_mutex);
    if (m_phase != Phase::open) return;
    m_phase = Phase::finished;
    m_error = std::move(error);
    TerminationHandler handler = takeTerminationHandler(StreamTermination::finished);
    const bool pump = claimPump();
    lock.unlock();
    m_available.notify_all();
    if (handler) handler(StreamTermination::finished);
    if (pump) schedulePump();
  }

  void cancel() {
    std::unique_lock lock(m_mutex);
    if (m_phase == Phase::cancelled) return;
    const bool wasOpen = m_phase == Phase::open;
    m_phase = Phase::cancelled;
    std::deque<T> dropped = std::move(m_buffer);
    m_buffer.clear();
    std::shared_ptr<const Delivery> delivery = std::move(m_delivery);
    TerminationHandler handler =
        wasOpen ? takeTerminationHandler(StreamTermination::cancelled) : nullptr;
    lock.unlock();
    m_available.notify_all();
    if (handler) handler(StreamTermination::cancelled);
  }

  void setOnTermination(TerminationHandler handler) {
    std::unique_lock lock(m_mutex);
    if (!m_terminatedAs) {
      m_onTermination = std::move(handler);
      return;
    }
    const StreamTermination how = *m_terminatedAs;
    lock.unlock();
    if (handler) handler(how);
  }

  bool isCancelled() const {
    std::lock_guard lock(m_mutex);
    return m_phase == Phase::cancelled;
  }

  std::optional<T> next() {
    std::unique_lock lock(m_mutex);
    if (m_delivery || m_queue) throw std::logic_error("AsyncStream::next after forEach");
    waitUntil(lock, std::chrono::steady_clock::time_point::max());
    return takeNext();
  }

  bool waitForNext(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return waitUntil(lock, std::chrono::steady_clock::now() + timeout);
  }

  void forEach(Queue& queue, std::function<void(T)> onElement,
               std::function<void(ErrorPtr)> onFinish) {
    std::unique_lock lock(m_mutex);
    if (m_queue) throw std::logic_error("AsyncStream::forEach called twice");
    if (m_phase == Phase::cancelled) return;
    m_queue = &queue;
    m_delivery =
        std::make_shared<const Delivery>(Delivery{std::move(onElement), std::move(onFinish)});
    const bool pump = claimPump();
    lock.unlock();
    if (pump) schedulePump();
  }

 private:
  enum class Phase { open, finished, cancelled };

  struct Delivery {
    std::function<void(T)> onElement;
    std::function<void(ErrorPtr)> onFinish;
  };

  bool ready() const { return !m_buffer.empty() || m_phase != Phase::open; }

  // Waits with `m_waiters` counted, so a yield knows whether anyone needs waking.
  bool waitUntil(std::unique_lock<std::mutex>& lock,
                 std::chrono::steady_clock::time_point deadline) {
    if (ready()) return true;
    ++m_waiters;
    const bool isReady = deadline == std::chrono::steady_clock::time_point::max()
                             ? (m_available.wait(lock, [this] { return ready(); }), true)
                             : m_available.wait_until(lock, deadline, [this] { return ready(); });
    --m_waiters;
    return isReady;
  }

  std::optional<T> takeNext() {
    if (!m_buffer.empty()) {
      std::optional<T> value(std::move(m_buffer.front()));
      m_buffer.pop_front();
      return value;
    }
    if (m_phase == Phase::finished && m_error && !m_errorRaised) {
      m_errorRaised = true;
      std::rethrow_exception(m_error);
    }
    return std::nullopt;
  }

  TerminationHandler takeTerminationHandler(StreamTermination how) {
    m_terminatedAs = how;
    return std::exchange(m_onTermination, nullptr);
  }

  // True when the caller must post a delivery job; at most one is posted or running at a time,
  // which keeps the elements in order even on a concurrent queue.
  bool claimPump() {
    if (!m_queue || m_pumpScheduled || m_phase == Phase::cancelled) return false;
    if (m_buffer.empty() && (m_phase != Phase::finished || m_finishDelivered)) return false;
    m_pumpScheduled = true;
    return true;
  }

  void schedulePump() {
    // The queue outlives the delivery by contract; the state is held by the job.
    m_queue->async([self = this->shared_from_this()] { self->pump(); });
  }

  // Delivers one element, or the end, then hands the rest to a job of its own.
  void pump() {
    std::unique_lock lock(m_mutex);
    if (m_phase == Phase::cancelled || !m_delivery) {
      m_pumpScheduled = false;
      return;
    }
    const std::shared_ptr<const Delivery> delivery = m_delivery;
    if (!m_buffer.empty()) {
      T value = std::move(m_buffer.front());
      m_buffer.pop_front();
      lock.unlock();
      deliverGuarded([&] { delivery->onElement(std::move(value)); });
      lock.lock();
      m_pumpScheduled = false;
      const bool more = claimPump();
      lock.unlock();
      if (more) schedulePump();
      return;
    }
    if (m_phase == Phase::finished && !m_finishDelivered) {
      m_finishDelivered = true;
      const ErrorPtr error = m_error;
      std::shared_ptr<const Delivery> released = std::move(m_delivery);
      lock.unlock();
      deliverGuarded([&] { delivery->onFinish(error); });
      return;
    }
    m_pumpScheduled = false;
  }

  template <class Call>
  void deliverGuarded(Call&& call) {
    try {
      call();
    } catch (...) {
      cancel();
      throw;
    }
  }

  const Merge m_merge;
  mutable std::mutex m_mutex;
  std::condition_variable m_available;
  int m_waiters = 0;  // consumers blocked in next() or waitForNext()
  std::deque<T> m_buffer;
  Phase m_phase = Phase::open;
  ErrorPtr m_error;
  bool m_errorRaised = false;
  TerminationHandler m_onTermination;
  std::optional<StreamTermination> m_terminatedAs;
  Queue* m_queue = nullptr;
  std::shared_ptr<const Delivery> m_delivery;
  bool m_pumpScheduled = false;
  bool m_finishDelivered = false;
};

}  // namespace detail

template <class T>
class AsyncStream {
 public:
  // The producer's handle.
  class Continuation {
   public:
    // Appends a value; false when the stream has finished or was cancelled (the value is
    // dropped).
    bool yield(T value) const { return m_link->state->yield(std::move(value)); }
    void finish() const { m_link->state->finish(nullptr); }
    void finish(ErrorPtr error) const { m_link->state->finish(std::move(error)); }
    // Told once when the stream ends: finished by the producer or cancelled by the consumer.
    void setOnTermination(std::function<void(StreamTermination)> handler) const {
      m_link->state->setOnTermination(std::move(handler));
    }
    // True once the consumer has cancelled the stream or released it.
    bool isCancelled() const { return m_link->state->isCancelled(); }

   private:
    friend class AsyncStream;
    // One link for all copies; the last copy to go finishes a stream left open.
    struct Link {
      explicit Link(std::shared_ptr<detail::AsyncStreamState<T>> s) : state(std::move(s)) {}
      ~Link() { state->finish(std::make_exception_ptr(AsyncStreamAbandonedError())); }
      Link(const Link&) = delete;
      Link& operator=(const Link&) = delete;
      std::shared_ptr<detail::AsyncStreamState<T>> state;
    };
    explicit Continuation(std::shared_ptr<detail::AsyncStreamState<T>> state)
        : m_link(std::make_shared<Link>(std::move(state))) {}
    std::shared_ptr<Link> m_link;
  };

  // Folds `next` into the element still `waiting` at the end of the buffer and returns true, or
  // returns false (leaving both as they are) when `next` must stay an element of its own. It is
  // the one callback that runs with the stream's lock held, so that the consumer never takes an
  // element half changed: it must only combine the two values.
  using Merge = std::function<bool(T& waiting, const T& next)>;

  struct Pair;
  static Pair makeStream();
  // A stream whose waiting elements fold together as `merge` says (see "Buffering" above).
  static Pair makeStream(Merge merge);

  AsyncStream(AsyncStream&& other) noexcept = default;
  AsyncStream& operator=(AsyncStream&& other) noexcept {
    if (this != &other) {
      cancel();
      m_state = std::move(other.m_state);
    }
    return *this;
  }
  AsyncStream(const AsyncStream&) = delete;
  AsyncStream& operator=(const AsyncStream&) = delete;
  ~AsyncStream() { cancel(); }

  // Blocks until the next element or the end: nullopt at the end, or the finishing error
  // rethrown (once; later calls give nullopt). Not with `forEach`.
  std::optional<T> next() { return m_state->next(); }
  // Waits up to `timeout` until `next()` would not block; true when it would not.
  bool waitForNext(std::chrono::milliseconds timeout) { return m_state->waitForNext(timeout); }

  // Delivers every element in order on `queue`, then `onFinish` with the finishing error (null
  // for a normal end). At most one delivery runs at a time. The queue must outlive the stream's
  // deliveries; keep this handle while the elements are wanted.
  void forEach(Queue& queue, std::function<void(T)> onElement,
               std::function<void(ErrorPtr)> onFinish) {
    m_state->forEach(queue, std::move(onElement), std::move(onFinish));
  }

  // Stops the stream from the consumer's side (see the top of this file).
  void cancel() {
    if (m_state) m_state->cancel();
  }

 private:
  explicit AsyncStream(std::shared_ptr<detail::AsyncStreamState<T>> state)
      : m_state(std::move(state)) {}
  std::shared_ptr<detail::AsyncStreamState<T>> m_state;
};

template <class T>
struct AsyncStream<T>::Pair {
  AsyncStream<T> stream;
  Continuation continuation;
};

template <class T>
typename AsyncStream<T>::Pair AsyncStream<T>::makeStream() {
  return makeStream(nullptr);
}

template <class T>
typename AsyncStream<T>::Pair AsyncStream<T>::makeStream(Merge merge) {
  auto state = std::make_shared<detail::AsyncStreamState<T>>(std::move(merge));
  return Pair{AsyncStream<T>(state), Continuation(state)};
}

}  // namespace tessra::platform
