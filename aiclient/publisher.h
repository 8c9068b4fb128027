// A small publisher facility: values and one completion handed to subscribers.
//
//   AnyPublisher<ChatResult> answer = makeFuture<ChatResult>([&](auto promise) {
//     client.chats(query, promise);          // runs at once, once
//   });
//   Subscription subscription = answer.subscribe(
//       [](ChatResult result) { ... },
//       [](ErrorPtr error) { ... null: finished; otherwise the failure ... });
//
// Two producers make them:
// - `makeFuture` runs its work at once and keeps the one result it gets: every subscriber,
//   early or late, receives that value and a finished completion, or the failure.
// - `PassthroughSubject` passes on what it is sent. What it is sent before anyone subscribes is
//   kept for the first subscriber, so nothing at the start of a stream is missed; after that,
//   values go to the subscribers attached at the time. Its completion reaches every subscriber,
//   also a later one. After the completion, sends are ignored.
//
// Cancel. Cancelling (or dropping) a `Subscription` stops its deliveries: once `cancel()` returns
// no callback of that subscription runs (called from inside one, none after it). A subject whose
// values nobody can receive any more (no subscription left, no handle to its publisher left)
// calls its abandon handler once, so the work behind it can be stopped.
//
// Threads. Values reach a subscriber in the order they were sent, one at a time, on the thread
// that sent them, or on the subscribing thread for those kept from before it subscribed. No lock
// is held while a callback runs.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/error.h"

namespace tessra::aiclient {

template <class Output>
class AnyPublisher;

namespace detail {

class SubscriberBase {
 public:
  virtual ~SubscriberBase() = default;
  virtual void cancel() = 0;
};

template <class Output>
class PublisherState : public std::enable_shared_from_this<PublisherState<Output>> {
 public:
  enum class Keep { everything, untilFirstSubscriber };

  struct Completion {
    ErrorPtr error;
  };
  using Event = std::variant<Output, Completion>;

  class Subscriber final : public SubscriberBase {
   public:
    Subscriber(std::shared_ptr<PublisherState> state, std::function<void(Output)> receiveValue,
               std::function<void(ErrorPtr)> receiveCompletion)
        : state(std::move(state)),
          receiveValue(std::move(receiveValue)),
          receiveCompletion(std::move(receiveCompletion)) {}

    void cancel() override { state->cancel(*this); }

    const std::shared_ptr<PublisherState> state;
    std::function<void(Output)> receiveValue;
    std::function<void(ErrorPtr)> receiveCompletion;
    // Guarded by the state's mutex.
    std::deque<Event> mailbox;
    bool draining = false;
    bool ended = false;
    std::optional<std::thread::id> deliveringOn;
  };

  explicit PublisherState(Keep keep) : m_keep(keep) {}

  void send(Event event) {
    std::vector<std::shared_ptr<Subscriber>> toDrain;
    std::function<void()> released;
    {
      std::lock_guard lock(m_mutex);
      if (m_completion) return;
      if (auto* completion = std::get_if<Completion>(&event)) {
        m_completion = *completion;
        released = std::move(m_onAbandon);
      } else if (m_keep == Keep::everything || !m_hadSubscriber) {
        m_kept.push_back(std::get<Output>(event));
      }
      for (const auto& subscriber : m_subscribers) {
        subscriber->mailbox.push_back(event);
        if (!subscriber->draining) {
          subscriber->draining = true;
          toDrain.push_back(subscriber);
        }
      }
    }
    for (const auto& subscriber : toDrain) drain(*subscriber);
  }

  std::shared_ptr<Subscriber> subscribe(std::function<void(Output)> receiveValue,
                                        std::function<void(ErrorPtr)> receiveCompletion) {
    auto subscriber = std::make_shared<Subscriber>(
        this->shared_from_this(), std::move(receiveValue), std::move(receiveCompletion));
    {
      std::lock_guard lock(m_mutex);
      for (const auto& value : m_kept) subscriber->mailbox.emplace_back(value);
      if (m_keep == Keep::untilFirstSubscriber) m_kept.clear();
      if (m_completion) subscriber->mailbox.emplace_back(*m_completion);
      m_hadSubscriber = true;
      m_subscribers.push_back(subscriber);
      subscriber->draining = true;
    }
    drain(*subscriber);
    return subscriber;
  }

  void setOnAbandon(std::function<void()> handler) {
    std::lock_guard lock(m_mutex);
    if (!m_completion) m_onAbandon = std::move(handler);
  }

  void addHandle() {
    std::lock_guard lock(m_mutex);
    ++m_handles;
  }

  void removeHandle() {
    std::function<void()> abandon;
    {
      std::lock_guard lock(m_mutex);
      --m_handles;
      abandon = takeAbandonHandlerIfUnreachable();
    }
    if (abandon) abandon();
  }

 private:
  void drain(Subscriber& subscriber) {
    std::unique_lock lock(m_mutex);
    while (!subscriber.ended && !subscriber.mailbox.empty()) {
      Event event = std::move(subscriber.mailbox.front());
      subscriber.mailbox.pop_front();
      const bool isCompletion = std::holds_alternative<Completion>(event);
      if (isCompletion) subscriber.ended = true;
      subscriber.deliveringOn = std::this_thread::get_id();
      lock.unlock();
      if (isCompletion) {
        if (subscriber.receiveCompletion)
          subscriber.receiveCompletion(std::get<Completion>(event).error);
      } else if (subscriber.receiveValue) {
        subscriber.receiveValue(std::move(std::get<Output>(event)));
      }
      lock.lock();
      subscriber.deliveringOn.reset();
      m_delivered.notify_all();
    }
    subscriber.draining = false;
    if (subscriber.ended)
      std::erase_if(m_subscribers, [&](const auto& s) { return s.get() == &subscriber; });
  }

  void cancel(Subscriber& subscriber) {
    std::function<void()> abandon;
    {
      std::unique_lock lock(m_mutex);
      const bool wasEnded = subscriber.ended;
      subscriber.ended = true;
      subscriber.mailbox.clear();
      m_delivered.wait(lock, [&] {
        return !subscriber.deliveringOn || *subscriber.deliveringOn == std::this_thread::get_id();
      });
      if (wasEnded) return;
      std::erase_if(m_subscribers, [&](const auto& s) { return s.get() == &subscriber; });
      abandon = takeAbandonHandlerIfUnreachable();
    }
    if (abandon) abandon();
  }

  // With the lock held.
  std::function<void()> takeAbandonHandlerIfUnreachable() {
    if (m_completion || m_handles > 0 || !m_subscribers.empty()) return nullptr;
    return std::exchange(m_onAbandon, nullptr);
  }

  const Keep m_keep;
  // Guards everything below and the subscribers' mailboxes.
  std::mutex m_mutex;
  std::condition_variable m_delivered;
  std::vector<Output> m_kept;
  std::optional<Completion> m_completion;
  bool m_hadSubscriber = false;
  std::vector<std::shared_ptr<Subscriber>> m_subscribers;
  std::function<void()> m_onAbandon;
  int m_handles = 0;
};

}  // namespace detail

// Keeps one subscription open; cancelling or dropping it stops the deliveries.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::shared_ptr<detail::SubscriberBase> subscriber)
      : m_subscriber(std::move(subscriber)) {}
  Subscription(Subscription&&) noexcept = default;
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      cancel();
      m_subscriber = std::move(other.m_subscriber);
    }
    return *this;
  }
  ~Subscription() { cancel(); }

  void cancel() {
    if (auto subscriber = std::exchange(m_subscriber, nullptr)) subscriber->cancel();
  }

 private:
  std::shared_ptr<detail::SubscriberBase> m_subscriber;
};

// A handle to a publisher; copies share it.
template <class Output>
class AnyPublisher {
 public:
  Subscription subscribe(std::function<void(Output)> receiveValue,
                         std::function<void(ErrorPtr)> receiveCompletion) const {
    return Subscription(
        m_handle->state->subscribe(std::move(receiveValue), std::move(receiveCompletion)));
  }

 private:
  template <class T>
  friend class PassthroughSubject;
  template <class T, class Work>
  friend AnyPublisher<T> makeFuture(Work&& work);

  // Counts the handles, so a subject knows when nobody can subscribe any more.
  struct Handle {
    explicit Handle(std::shared_ptr<detail::PublisherState<Output>> s) : state(std::move(s)) {
      state->addHandle();
    }
    ~Handle() { state->removeHandle(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    std::shared_ptr<detail::PublisherState<Output>> state;
  };

  explicit AnyPublisher(std::shared_ptr<detail::PublisherState<Output>> state)
      : m_handle(std::make_shared<Handle>(std::move(state))) {}

  std::shared_ptr<Handle> m_handle;
};

// The producer side of a stream publisher. Copies share it.
template <class Output>
class PassthroughSubject {
 public:
  PassthroughSubject()
      : m_state(std::make_shared<detail::PublisherState<Output>>(
            detail::PublisherState<Output>::Keep::untilFirstSubscriber)) {}

  void send(Output value) const { m_state->send(std::move(value)); }
  // Ends the publisher: finished when `error` is null, failed otherwise.
  void sendCompletion(ErrorPtr error) const {
    m_state->send(typename detail::PublisherState<Output>::Completion{std::move(error)});
  }
  // Told once when nobody can receive the values any more (see the top of this file).
  void setOnAbandon(std::function<void()> handler) const {
    m_state->setOnAbandon(std::move(handler));
  }

  AnyPublisher<Output> eraseToAnyPublisher() const { return AnyPublisher<Output>(m_state); }

 private:
  std::shared_ptr<detail::PublisherState<Output>> m_state;
};

// A publisher of the one result that `work` hands to its promise. `work` runs at once and is
// given a `std::function<void(Result<Output>)>`; a second result is ignored.
template <class Output, class Work>
AnyPublisher<Output> makeFuture(Work&& work) {
  using State = detail::PublisherState<Output>;
  auto state = std::make_shared<State>(State::Keep::everything);
  AnyPublisher<Output> publisher(state);
  std::function<void(Result<Output>)> promise = [state](Result<Output> result) {
    if (result) {
      state->send(std::move(*result));
      state->send(typename State::Completion{nullptr});
    } else {
      state->send(typename State::Completion{result.error()});
    }
  };
  work(std::move(promise));
  return publisher;
}

}  // namespace tessra::aiclient
