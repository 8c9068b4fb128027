#include "platform/foundation/queue.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/logger.h"

namespace tessra::platform {

namespace {

using Clock = std::chrono::steady_clock;

// A job that throws must not take a worker thread (and with it the process) down; the failure is
// logged with the queue it ran on so that the fault can be found.
void runJob(const Job& job, std::string_view label) {
  try {
    job();
  } catch (const std::exception& error) {
    logError("A job on queue {} failed: {}", label, error.what());
  } catch (...) {
    logError("A job on queue {} failed with an exception that is not a std::exception", label);
  }
}

void nameThisThread(const std::string& label) {
  // The kernel keeps at most 15 bytes; the end of a reverse-domain label says the most.
  const std::string name = label.size() > 15 ? label.substr(label.size() - 15) : label;
  pthread_setname_np(pthread_self(), name.c_str());
}

// The one thread that keeps delayed jobs and timers until they are due. Each entry is a tick:
// called when due, it hands its work to a queue and says when it wants to be called again.
class Scheduler {
 public:
  using Tick = std::function<std::optional<Clock::time_point>(Clock::time_point due)>;

  static Scheduler* shared();

  ~Scheduler() {
    {
      std::lock_guard lock(m_mutex);
      m_stopping = true;
    }
    s_gone.store(true);
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
  }

  void schedule(Clock::time_point due, Tick tick) {
    {
      std::lock_guard lock(m_mutex);
      if (m_stopping) return;
      m_entries.emplace(std::make_pair(due, m_nextSequence++), std::move(tick));
      if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_all();
  }

 private:
  using Key = std::pair<Clock::time_point, std::uint64_t>;

  void run() {
    nameThisThread("tessra.timers");
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
      if (m_entries.empty()) {
        m_wake.wait(lock);
        continue;
      }
      const Clock::time_point first = m_entries.begin()->first.first;
      if (first > Clock::now()) {
        m_wake.wait_until(lock, first);
        continue;
      }
      std::vector<std::pair<Clock::time_point, Tick>> due;
      const Clock::time_point now = Clock::now();
      while (!m_entries.empty() && m_entries.begin()->first.first <= now) {
        auto node = m_entries.extract(m_entries.begin());
        due.emplace_back(node.key().first, std::move(node.mapped()));
      }
      lock.unlock();
      std::vector<std::pair<Clock::time_point, Tick>> again;
      for (auto& [when, tick] : due) {
        if (const auto next = tick(when)) again.emplace_back(*next, std::move(tick));
      }
      due.clear();
      lock.lock();
      for (auto& [when, tick] : again) {
        m_entries.emplace(std::make_pair(when, m_nextSequence++), std::move(tick));
      }
    }
  }

  // Set when the process-wide scheduler has been destroyed at exit; later schedules are dropped.
  static inline std::atomic<bool> s_gone{false};

  std::mutex m_mutex;  // guards m_entries, m_nextSequence, m_stopping, m_thread's start
  std::condition_variable m_wake;
  std::map<Key, Tick> m_entries;
  std::uint64_t m_nextSequence = 0;
  bool m_stopping = false;
  std::thread m_thread;
};

Scheduler* Scheduler::shared() {
  if (s_gone.load()) return nullptr;
  static Scheduler scheduler;
  return &scheduler;
}

}  // namespace

// --- Queue -----------------------------------------------------------------------------------

struct Queue::Anchor {
  explicit Anchor(Queue* q) : queue(q) {}
  std::mutex mutex;  // held while a job is handed to `queue`, so that detaching waits for it
  Queue* queue;
};

Queue::Queue() : m_anchor(std::make_shared<Anchor>(this)) {}

Queue::~Queue() { detachFromScheduler(); }

void Queue::detachFromScheduler() {
  std::lock_guard lock(m_anchor->mutex);
  m_anchor->queue = nullptr;
}

bool Queue::deliver(const std::weak_ptr<Anchor>& anchor, Job job) {
  const auto strong = anchor.lock();
  if (!strong) return false;
  std::lock_guard lock(strong->mutex);
  if (!strong->queue) return false;
  strong->queue->async(std::move(job));
  return true;
}

void Queue::asyncAfter(std::chrono::milliseconds delay, Job job) {
  Scheduler* scheduler = delay.count() > 0 ? Scheduler::shared() : nullptr;
  if (!scheduler) {
    async(std::move(job));
    return;
  }
  std::weak_ptr<Anchor> anchor = m_anchor;
  scheduler->schedule(Clock::now() + delay,
                      [anchor, job = std::move(job)](Clock::time_point) mutable {
                        deliver(anchor, std::move(job));
                        return std::optional<Clock::time_point>();
                      });
}

// --- MainQueue -------------------------------------------------------------------------------

struct MainQueue::State {
  std::mutex mutex;  // guards everything below
  std::condition_variable jobArrived;
  std::deque<Job> pending;
  Poster poster;
  // True while setPoster hands the waiting jobs over; new jobs queue up behind them meanwhile.
  bool handingOver = false;
  bool closed = false;
};

MainQueue::MainQueue() : m_state(std::make_unique<State>()) {}

MainQueue::~MainQueue() { detachFromScheduler(); }

void MainQueue::async(Job job) {
  std::unique_lock lock(m_state->mutex);
  if (m_state->closed) return;
  if (!m_state->poster || m_state->handingOver) {
    m_state->pending.push_back(std::move(job));
    lock.unlock();
    m_state->jobArrived.notify_all();
    return;
  }
  const Poster poster = m_state->poster;
  lock.unlock();
  poster(std::move(job));
}

void MainQueue::setPoster(Poster poster) {
  std::unique_lock lock(m_state->mutex);
  m_state->poster = std::move(poster);
  if (!m_state->poster || m_state->handingOver) return;
  m_state->handingOver = true;
  while (m_state->poster && !m_state->pending.empty()) {
    std::deque<Job> batch;
    batch.swap(m_state->pending);
    const Poster current = m_state->poster;
    lock.unlock();
    for (Job& job : batch) current(std::move(job));
    batch.clear();
    lock.lock();
  }
  m_state->handingOver = false;
}

std::size_t MainQueue::drain() {
  std::deque<Job> batch;
  {
    std::lock_guard lock(m_state->mutex);
    batch.swap(m_state->pending);
  }
  for (const Job& job : batch) runJob(job, "main");
  return batch.size();
}

std::size_t MainQueue::drainFor(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(m_state->mutex);
    m_state->jobArrived.wait_for(lock, timeout, [this] { return !m_state->pending.empty(); });
  }
  return drain();
}

void MainQueue::shutDown() {
  std::deque<Job> dropped;
  {
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    m_state->poster = nullptr;
    dropped.swap(m_state->pending);
  }
  m_state->jobArrived.notify_all();
}

MainQueue& mainQueue() {
  // Workers of other queues, and of objects that are never released, may post to it until the
  // very end of the process, after every static object has been destroyed; so it is never
  // destroyed itself, only closed when static destruction reaches it.
  static MainQueue* const queue = new MainQueue;
  static const struct CloseAtExit {
    ~CloseAtExit() { queue->shutDown(); }
  } closeAtExit;
  return *queue;
}

// --- Global queue ----------------------------------------------------------------------------

namespace {

class ThreadPool final : public Queue {
 public:
  explicit ThreadPool(unsigned count) {
    m_running = count;
    for (unsigned i = 0; i < count; ++i) m_workers.emplace_back([this] { work(); });
  }

  void async(Job job) override {
    {
      std::lock_guard lock(m_mutex);
      // After the workers have left at exit nobody would run the job.
      if (m_running == 0) return;
      m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
  }

  // Lets the workers run the jobs waiting and leave, and waits up to `patience` for them. A
  // worker still in a job then is left to the end of the process instead of holding it up.
  void close(std::chrono::milliseconds patience) {
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_wake.notify_all();
    // The thread that ends the process may be a worker itself.
    const unsigned self = tIsWorker ? 1 : 0;
    if (!m_left.wait_for(lock, patience, [&] { return m_running <= self; })) return;
    lock.unlock();
    for (std::thread& worker : m_workers) {
      if (worker.get_id() == std::this_thread::get_id()) {
        worker.detach();
      } else {
        worker.join();
      }
    }
  }

 private:
  void work() {
    nameThisThread("tessra.global");
    tIsWorker = true;
    std::unique_lock lock(m_mutex);
    while (true) {
      m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
      if (m_jobs.empty()) break;
      Job job = std::move(m_jobs.front());
      m_jobs.pop_front();
      lock.unlock();
      runJob(job, "global");
      job = nullptr;
      lock.lock();
    }
    --m_running;
    m_left.notify_all();
  }

  static inline thread_local bool tIsWorker = false;

  std::mutex m_mutex;  // guards m_jobs, m_stopping, m_running
  std::condition_variable m_wake;
  std::condition_variable m_left;
  std::deque<Job> m_jobs;
  bool m_stopping = false;
  unsigned m_running = 0;
  std::vector<std::thread> m_workers;
};

// Long enough for a request that was just stopped to wind down, short enough that a job blocked
// for good does not keep the process alive once the user has quit.
constexpr std::chrono::seconds kExitPatience{2};

}  // namespace

Queue& globalQueue() {
  // A worker may still be in a job while the process ends; so the pool is never destroyed, only
  // closed when static destruction reaches it.
  static ThreadPool* const pool = new ThreadPool(std::max(2u, std::thread::hardware_concurrency()));
  static const struct CloseAtExit {
    ~CloseAtExit() { pool->close(kExitPatience); }
  } closeAtExit;
  return *pool;
}

// --- SerialQueue -----------------------------------------------------------------------------

namespace {
// The serial queue whose job this thread is running, if any.
thread_local const void* tCurrentSerialQueue = nullptr;
}  // namespace

struct SerialQueue::State {
  explicit State(std::string l) : label(std::move(l)) {}

  // The queue's thread. It holds the state, so a queue destroyed by one of its own jobs lets the
  // thread finish that job and leave on its own.
  static void run(std::shared_ptr<State> self) {
    nameThisThread(self->label);
    std::unique_lock lock(self->mutex);
    while (true) {
      self->wake.wait(lock, [&] { return self->stopping || !self->jobs.empty(); });
      if (self->stopping) break;
      Job job = std::move(self->jobs.front());
      self->jobs.pop_front();
      lock.unlock();
      tCurrentSerialQueue = self.get();
      runJob(job, self->label);
      tCurrentSerialQueue = nullptr;
      job = nullptr;
      lock.lock();
    }
  }

  const std::string label;
  std::mutex mutex;  // guards jobs, stopping and thread
  std::condition_variable wake;
  std::deque<Job> jobs;
  bool stopping = false;
  std::thread thread;
};

SerialQueue::SerialQueue(std::string label) : m_state(std::make_shared<State>(std::move(label))) {}

SerialQueue::~SerialQueue() {
  detachFromScheduler();
  std::deque<Job> dropped;
  std::thread thread;
  {
    std::lock_guard lock(m_state->mutex);
    m_state->stopping = true;
    dropped.swap(m_state->jobs);
    thread = std::move(m_state->thread);
  }
  m_state->wake.notify_all();
  dropped.clear();
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

void SerialQueue::async(Job job) {
  {
    std::lock_guard lock(m_state->mutex);
    if (m_state->stopping) return;
    m_state->jobs.push_back(std::move(job));
    if (!m_state->thread.joinable()) m_state->thread = std::thread(&State::run, m_state);
  }
  m_state->wake.notify_one();
}

void SerialQueue::sync(Job job) {
  if (isCurrent()) {
    job();
    return;
  }
  // The promise lives in the job; a job dropped by a queue that is destroyed first breaks it,
  // and the caller gets std::future_error instead of waiting forever.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  async([job = std::move(job), done = std::move(done)] {
    try {
      job();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  finished.get();
}

bool SerialQueue::isCurrent() const { return tCurrentSerialQueue == m_state.get(); }

const std::string& SerialQueue::label() const { return m_state->label; }

// --- Timer -----------------------------------------------------------------------------------

struct Timer::State {
  std::mutex mutex;  // guards everything below
  std::condition_variable idle;
  bool cancelled = false;
  // A firing waits on the queue or runs; further due times are merged into it.
  bool busy = false;
  bool firing = false;
  std::thread::id firingThread;
  Job onFire;
  std::chrono::milliseconds interval;
  bool repeats = false;
};

Timer::Timer(Queue& queue, std::chrono::milliseconds interval, bool repeats, Job onFire)
    : m_state(std::make_shared<State>()) {
  // A repeating timer with no interval would spin the scheduler.
  m_state->interval = repeats ? std::max(interval, std::chrono::milliseconds(1)) : interval;
  m_state->repeats = repeats;
  m_state->onFire = std::move(onFire);

  const std::shared_ptr<State>& self = m_state;
  auto fire = [weak = std::weak_ptr<State>(self)] {
    const auto state = weak.lock();
    if (!state) return;
    std::unique_lock lock(state->mutex);
    if (state->cancelled) {
      state->busy = false;
      return;
    }
    state->firing = true;
    state->firingThread = std::this_thread::get_id();
    if (!state->repeats) state->cancelled = true;
    lock.unlock();
    // `onFire` is only replaced or released while no firing runs, so it is read unlocked here.
    runJob(state->onFire, "timer");
    lock.lock();
    state->firing = false;
    state->busy = false;
    Job released;
    if (state->cancelled) released = std::move(state->onFire);
    lock.unlock();
    state->idle.notify_all();
  };

  auto tick = [weak = std::weak_ptr<State>(self),
               anchor = std::weak_ptr<Queue::Anchor>(queue.m_anchor),
               fire](Clock::time_point due) -> std::optional<Clock::time_point> {
    const auto state = weak.lock();
    if (!state) return std::nullopt;
    std::unique_lock lock(state->mutex);
    if (state->cancelled) return std::nullopt;
    const std::optional<Clock::time_point> next =
        state->repeats ? std::optional(std::max(due + state->interval, Clock::now()))
                       : std::nullopt;
    if (state->busy) return next;
    state->busy = true;
    lock.unlock();
    if (Queue::deliver(anchor, fire)) return next;
    // The queue is gone: the timer can never fire again.
    lock.lock();
    state->busy = false;
    state->cancelled = true;
    Job released = std::move(state->onFire);
    lock.unlock();
    return std::nullopt;
  };

  Scheduler* scheduler = Scheduler::shared();
  if (!scheduler) {
    m_state->cancelled = true;
    return;
  }
  scheduler->schedule(Clock::now() + m_state->interval, std::move(tick));
}

Timer::~Timer() { cancel(); }

void Timer::cancel() {
  Job released;
  {
    std::unique_lock lock(m_state->mutex);
    m_state->cancelled = true;
    if (m_state->firing) {
      // Cancelled from inside its own handler: the firing releases the handler when it returns.
      if (m_state->firingThread == std::this_thread::get_id()) return;
      m_state->idle.wait(lock, [this] { return !m_state->firing; });
    }
    released = std::move(m_state->onFire);
  }
}

bool Timer::isCancelled() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->cancelled;
}

}  // namespace tessra::platform
