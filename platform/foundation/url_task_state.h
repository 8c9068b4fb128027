// The inside of the URL session shared by its two halves: the state of one task, which the
// task's handles, the libcurl worker and the delegate queue share, and the worker's entry points.
// Not part of the session's interface; only url_session.cpp and url_transfer_worker.cpp include
// it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/foundation/queue.h"
#include "platform/foundation/url_session.h"

namespace tessra::platform {

struct UrlTask::State : std::enable_shared_from_this<UrlTask::State> {
  State(std::weak_ptr<SerialQueue> queue, UrlRequest request, StreamDelegate delegate,
        DataCompletion completion)
      : queue(std::move(queue)),
        streamed(!completion),
        request(std::move(request)),
        delegate(std::move(delegate)),
        completion(std::move(completion)) {}

  // Called on the worker.
  void deliverHead(UrlResponse head);
  // False, with nothing taken, while `kStreamBufferBytes` still wait for the delegate: the
  // transfer must hold back until the pump takes them and resumes it.
  [[nodiscard]] bool deliverData(const char* data, std::size_t size);
  void deliverEnd(Result<UrlResponse> end, Bytes body);

  void cancel();
  void pump();

  const std::weak_ptr<SerialQueue> queue;
  const bool streamed;

  // Set once the task is cancelled; the worker reads it without the lock to stop reading.
  std::atomic<bool> aborted{false};
  std::atomic<bool> done{false};

  mutable std::mutex mutex;
  std::condition_variable callbackReturned;
  // Guarded by `mutex`:
  bool started = false;
  bool cancelled = false;
  std::optional<UrlRequest> request;
  StreamDelegate delegate;
  DataCompletion completion;
  bool inCallback = false;
  std::thread::id callbackThread;
  bool pumpScheduled = false;
  std::optional<UrlResponse> pendingHead;
  std::string pendingData;
  // The worker was told to hold the transfer back until `pendingData` is taken.
  bool heldBack = false;
  std::optional<Result<UrlResponse>> pendingEnd;
  Bytes pendingBody;

  // Touched only by the one pump job that runs at a time.
  std::string deliveredData;

 private:
  // With the lock held: marks a pump as needed; true when the caller must post one.
  bool needsPump() {
    if (pumpScheduled || cancelled) return false;
    pumpScheduled = true;
    return true;
  }
  void postPump();
  // Runs `call` with the lock released, marked as the task's running callback.
  template <class Call>
  void runCallback(std::unique_lock<std::mutex>& lock, Call&& call);
  // Drops the callbacks (and what they hold) outside the lock.
  void releaseCallbacks(std::unique_lock<std::mutex>& lock);
};

namespace url_detail {

// The values of the header `name` (any case), joined by ", "; nothing when it is absent.
std::optional<std::string> joinedHeader(const HttpHeaders& headers, std::string_view name);

// The libcurl worker (url_transfer_worker.cpp): one thread and one multi handle for every
// transfer of the process. Each call returns at once; the worker does the rest on its thread.
void startWorker();
void startTransfer(std::shared_ptr<UrlTask::State> task, UrlRequest request);
void cancelTransfer(std::shared_ptr<UrlTask::State> task);
// Lets a transfer held back for its delegate go on.
void resumeTransfer(std::shared_ptr<UrlTask::State> task);

}  // namespace url_detail

}  // namespace tessra::platform
