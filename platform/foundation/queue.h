// Where work runs: the main queue (the GUI thread's event loop), the global concurrent queue (a
// thread pool) and serial queues, plus timers that fire on a queue.
//
// Every queue runs the jobs handed to it in its own way; a job is a `std::function<void()>`.
// No queue calls user code while holding one of its locks.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tessra::platform {

using Job = std::function<void()>;

class Queue {
 public:
  virtual ~Queue() = default;
  // Runs the job later on this queue; never runs it before returning.
  virtual void async(Job job) = 0;
  // Runs the job after `delay`.
  void asyncAfter(std::chrono::milliseconds delay, Job job);
};

// The main queue: jobs run one at a time on the thread that owns the event loop. The application
// installs a poster that hands jobs to the Qt event loop; until one is installed (and in tests
// that want it) jobs wait until `drainMainQueue()` runs them on the calling thread.
class MainQueue final : public Queue {
 public:
  using Poster = std::function<void(Job)>;

  void async(Job job) override;
  // Installs (or, with an empty poster, removes) the poster; jobs already waiting are handed to
  // the new poster in order.
  void setPoster(Poster poster);

  // Runs the waiting jobs on the calling thread; returns how many ran. For tests and for a loop
  // without Qt.
  std::size_t drain();
  // Waits up to `timeout` for at least one job, then drains. Returns how many ran.
  std::size_t drainFor(std::chrono::milliseconds timeout);
};

MainQueue& mainQueue();

// The global concurrent queue: a pool of worker threads, one per core (at least two).
Queue& globalQueue();

// A queue that runs its jobs one after another, in order, on a worker thread of its own while it
// has work. Destroying it waits for the job that is running and drops the ones not started.
class SerialQueue final : public Queue {
 public:
  explicit SerialQueue(std::string label);
  ~SerialQueue() override;
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void async(Job job) override;
  // Runs the job on the queue and waits for it. Must not be called from the queue itself.
  void sync(Job job);
  // True on the queue's own thread, while it runs one of its jobs.
  bool isCurrent() const;
  const std::string& label() const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

// A timer that fires on a queue, once or repeatedly. Destroying or cancelling it stops it; a
// firing already handed to the queue finds the timer cancelled and does nothing.
class Timer {
 public:
  Timer(Queue& queue, std::chrono::milliseconds interval, bool repeats, Job onFire);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void cancel();
  bool isCancelled() const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

}  // namespace tessra::platform
