#include "Tessra/shell/delay.h"

#include "platform/foundation/queue.h"

namespace tessra {

DelayedJob::DelayedJob() : m_cancelled(std::make_shared<std::atomic<bool>>(false)) {}

void DelayedJob::cancel() { *m_cancelled = true; }

bool DelayedJob::isCancelled() const { return *m_cancelled; }

DelayedJob delay(std::chrono::milliseconds pause, std::function<void()> job) {
  DelayedJob handle;
  platform::mainQueue().asyncAfter(pause, [cancelled = handle.m_cancelled, job = std::move(job)] {
    if (!*cancelled) job();
  });
  return handle;
}

}  // namespace tessra
