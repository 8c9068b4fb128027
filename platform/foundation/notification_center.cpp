#include "platform/foundation/notification_center.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessra::platform {

struct NotificationCenter::Observer {
  Observer(std::string n, Handler h) : name(std::move(n)), handler(std::move(h)) {}
  const std::string name;
  // Read without the lock while the observer is called: it is released only while no thread
  // calls it.
  Handler handler;
  // Guarded by State::mutex.
  bool removed = false;
  std::vector<std::thread::id> callingThreads;
};

struct NotificationCenter::State {
  std::mutex mutex;  // guards `observers` and every Observer's `removed` and `callingThreads`
  std::condition_variable callEnded;
  std::unordered_map<std::string, std::vector<std::shared_ptr<Observer>>> observers;
};

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name,
                                                                  Handler handler) {
  auto observer = std::make_shared<Observer>(std::move(name), std::move(handler));
  {
    std::lock_guard lock(m_state->mutex);
    m_state->observers[observer->name].push_back(observer);
  }
  return ObserverToken(m_state, std::move(observer));
}

void NotificationCenter::post(const std::string& name, nlohmann::json payload, std::any object) {
  std::vector<std::shared_ptr<Observer>> called;
  {
    std::lock_guard lock(m_state->mutex);
    const auto found = m_state->observers.find(name);
    if (found == m_state->observers.end()) return;
    called = found->second;
  }
  const Notification notification{name, std::move(payload), std::move(object)};
  const std::thread::id self = std::this_thread::get_id();
  for (const auto& observer : called) {
    {
      std::lock_guard lock(m_state->mutex);
      if (observer->removed) continue;
      observer->callingThreads.push_back(self);
    }
    // Ends the call's bookkeeping also when the observer throws.
    struct CallEnd {
      State& state;
      Observer& observer;
      std::thread::id thread;
      ~CallEnd() {
        std::lock_guard lock(state.mutex);
        auto& threads = observer.callingThreads;
        threads.erase(std::find(threads.begin(), threads.end(), thread));
        state.callEnded.notify_all();
      }
    } callEnd{*m_state, *observer, self};
    observer->handler(notification);
  }
}

NotificationCenter::ObserverToken::ObserverToken(std::weak_ptr<State> center,
                                                 std::shared_ptr<Observer> observer)
    : m_center(std::move(center)), m_observer(std::move(observer)) {}

NotificationCenter::ObserverToken::~ObserverToken() { remove(); }

NotificationCenter::ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : m_center(std::move(other.m_center)), m_observer(std::move(other.m_observer)) {}

NotificationCenter::ObserverToken& NotificationCenter::ObserverToken::operator=(
    ObserverToken&& other) noexcept {
  if (this != &other) {
    remove();
    m_center = std::move(other.m_center);
    m_observer = std::move(other.m_observer);
  }
  return *this;
}

void NotificationCenter::ObserverToken::remove() {
  const std::shared_ptr<Observer> observer = std::exchange(m_observer, nullptr);
  const std::shared_ptr<State> state = m_center.lock();
  m_center.reset();
  if (!observer || !state) return;

  Handler released;
  {
    std::unique_lock lock(state->mutex);
    observer->removed = true;
    if (const auto entry = state->observers.find(observer->name); entry != state->observers.end()) {
      std::erase(entry->second, observer);
      if (entry->second.empty()) state->observers.erase(entry);
    }
    const std::thread::id self = std::this_thread::get_id();
    const auto onlyHere = [&] {
      const auto& threads = observer->callingThreads;
      return std::all_of(threads.begin(), threads.end(),
                         [&](const std::thread::id& id) { return id == self; });
    };
    state->callEnded.wait(lock, onlyHere);
    // Removed from inside its own call, the handler is still running: the post releases it.
    if (observer->callingThreads.empty()) released = std::move(observer->handler);
  }
}

}  // namespace tessra::platform
