// `delay`: runs a job on the main queue once a pause has passed, unless it is cancelled first.
//
//   DelayedJob hint = delay(1500ms, [] { showHint(); });
//   ...
//   hint.cancel();  // it will not run, if it has not yet
//
// Dropping the handle cancels nothing: the job still runs when it is due. The pause is measured
// on the monotonic clock, so a change of the wall clock neither hastens nor holds back a job.
// Cancel on the GUI thread: a job cancelled there before it ran never runs.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace tessra {

class DelayedJob {
 public:
  void cancel();
  bool isCancelled() const;

 private:
  friend DelayedJob delay(std::chrono::milliseconds pause, std::function<void()> job);
  DelayedJob();

  std::shared_ptr<std::atomic<bool>> m_cancelled;
};

DelayedJob delay(std::chrono::milliseconds pause, std::function<void()> job);

}  // namespace tessra
