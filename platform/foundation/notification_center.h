// Named notifications with a JSON payload, for parts of the program that do not hold each other
// (a settings change the windows react to, a request to focus the prompt).
//
//   auto token = NotificationCenter::defaultCenter().addObserver(
//       "floatingWindowSizeDidChanged", [this](const Notification&) { relayout(); });
//   NotificationCenter::defaultCenter().post("floatingWindowSizeDidChanged");
//
// A post calls the observers of its name synchronously on the posting thread, in the order they
// were added; the observers present when the post starts are the ones called. Observers may add
// and remove observers (themselves included) and post again while they are called. No lock is
// held while an observer runs. An exception from an observer reaches the poster, and the
// observers after it are not called for that post.
//
// The token returned by `addObserver` removes the observer when it is destroyed or `remove()`d.
// Removal on another thread than one calling that observer waits for the call to end, so once it
// returns the observer's captures are no longer used. (So an observer must not wait for a thread
// that removes it.)
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace tessra::platform {

struct Notification {
  std::string name;
  // A JSON object: the notification's dictionary with string keys.
  nlohmann::json payload;
  // An in-process value that must travel as itself (an attachment holding an image handle),
  // never re-encoded into the payload; empty for most notifications. Observers read it with
  // `std::any_cast`.
  std::any object;
};

class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

 private:
  struct State;
  struct Observer;

 public:
  // Keeps one observer registered while it lives. Move-only; an empty token removes nothing.
  class ObserverToken {
   public:
    ObserverToken() = default;
    ~ObserverToken();
    ObserverToken(ObserverToken&& other) noexcept;
    ObserverToken& operator=(ObserverToken&& other) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;

    void remove();
    bool isActive() const { return m_observer != nullptr; }

   private:
    friend class NotificationCenter;
    ObserverToken(std::weak_ptr<State> center, std::shared_ptr<Observer> observer);
    std::weak_ptr<State> m_center;
    std::shared_ptr<Observer> m_observer;
  };

  // The program's one centre, created on first use and kept for the life of the process.
  static NotificationCenter& defaultCenter();

  // Other centres are for tests.
  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  [[nodiscard]] ObserverToken addObserver(std::string name, Handler handler);
  void post(const std::string& name, nlohmann::json payload = nlohmann::json::object(),
            std::any object = {});

 private:
  std::shared_ptr<State> m_state;
};

}  // namespace tessra::platform
