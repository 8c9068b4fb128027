// Where work runs: the main queue (the GUI thread's event loop), the global concurrent queue (a
// thread pool) and serial queues, plus timers that fire on a queue.
//
// Every queue runs the jobs handed to it in its own way; a job is a `std::function<void()>`.
// No queue calls user code while holding one of its locks. A job should not throw: an exception
// that leaves a job handed to `async` is logged with the queue's label and the queue carries on;
// one that leaves a job handed to `SerialQueue::sync` reaches the caller of `sync`.
//
//   platform::SerialQueue delegateQueue("org.tessra.session.delegate");
//   delegateQueue.async([] { ... });                       // in order, on the queue's thread
//   platform::mainQueue().async([] { ... });               // on the GUI thread
//   platform::Timer ping(platform::mainQueue(), 10s, true, [] { ... });
//
// Delayed jobs and timers are kept by one scheduler thread of the process that hands each job to
// its queue when it is due. A queue that is destroyed first is simply skipped: a delayed job or
// timer firing meant for it is dropped.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tessra::platform {

using Job = std::function<void()>;

class Timer;

class Queue {
 public:
  Queue();
  virtual ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // Runs the job later on this queue; never runs it before returning.
  virtual void async(Job job) = 0;
  // Runs the job on this queue once `delay` has passed (at once when it is not positive).
  void asyncAfter(std::chrono::milliseconds delay, Job job);

 protected:
  // Cuts the link used by delayed jobs and timers; waits for a hand-over to this queue that is
  // under way. Every concrete queue calls it first thing in its destructor, so that the
  // scheduler never calls `async` on a queue that is being torn down.
  void detachFromScheduler();

 private:
  friend class Timer;
  // The link through which the scheduler reaches a queue that may already be gone.
  struct Anchor;
  // Hands the job to the queue behind the anchor; false when that queue is gone.
  static bool deliver(const std::weak_ptr<Anchor>& anchor, Job job);
  std::shared_ptr<Anchor> m_anchor;
};

// The main queue: jobs run one at a time on the thread that owns the event loop. The application
// installs a poster that hands jobs to the Qt event loop; until one is installed (and in tests
// that want it) jobs wait until `drain()` runs them on the calling thread.
//
// Other instances than `mainQueue()` may be made, for tests of code that takes a queue.
class MainQueue final : public Queue {
 public:
  // Hands one job to the event loop. It must not run the job before returning.
  using Poster = std::function<void(Job)>;

  MainQueue();
  ~MainQueue() override;

  void async(Job job) override;
  // Installs (or, with an empty poster, removes) the poster; jobs already waiting are handed to
  // the new poster in order, before any job posted after this call.
  void setPoster(Poster poster);

  // Runs the jobs waiting now on the calling thread, in order; returns how many ran. Jobs that
  // they post wait for the next drain. For tests and for a loop without Qt.
  std::size_t drain();
  // Waits up to `timeout` for at least one job, then drains. Returns how many ran.
  std::size_t drainFor(std::chrono::milliseconds timeout);

  // Closes the queue: the jobs waiting are dropped, and so is every job posted from now on, from
  // any thread. The shared main queue is closed at process exit.
  void shutDown();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

// The shared main queue. It is never destroyed, only closed at exit: a worker that still posts
// to it while the process ends has its job dropped instead of reaching a freed queue.
MainQueue& mainQueue();

// The global concurrent queue: a pool of worker threads, one per core (at least two). At process
// exit the pool runs the jobs still waiting and lets its threads go, but waits for them no more
// than two seconds: a job still blocked then ends with the process instead of holding it up. It
// is never destroyed, so such a job never meets a freed queue.
Queue& globalQueue();

// A queue that runs its jobs one after another, in order, on a worker thread of its own. The
// thread is started with the first job and kept until the queue is destroyed. Destroying the
// queue waits for the job that is running (unless a job of the queue itself destroys it) and
// drops the ones not started.
class SerialQueue final : public Queue {
 public:
  explicit SerialQueue(std::string label);
  ~SerialQueue() override;

  void async(Job job) override;
  // Runs the job on the queue and waits for it; an exception from the job reaches the caller.
  // Called from a job of this queue it runs the job at once, in place, instead of waiting for
  // itself forever.
  void sync(Job job);
  // True on the queue's own thread, while it runs one of its jobs.
  bool isCurrent() const;
  const std::string& label() const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

// A timer that fires on a queue, once or repeatedly, every `interval` from its creation.
//
// Cancelling or destroying it stops it: a firing already handed to the queue finds the timer
// cancelled and does nothing, and `cancel()` called on another thread than the one running
// `onFire` waits for that run to end, so once `cancel()` returns nothing the handler uses is
// touched again. (So `onFire` must not wait for the thread that cancels the timer.) Firings that
// fall due while the previous one still waits on the queue are merged into it.
class Timer {
 public:
  Timer(Queue& queue, std::chrono::milliseconds interval, bool repeats, Job onFire);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void cancel();
  // True once the timer was cancelled, and for a one-shot timer once it has fired.
  bool isCancelled() const;

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

}  // namespace tessra::platform
