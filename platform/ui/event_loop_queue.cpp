#include "platform/ui/event_loop_queue.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "platform/foundation/queue.h"

namespace tessra::platform {

void runMainQueueOnEventLoop() {
  mainQueue().setPoster([](Job job) {
    // Queued invocations on one object run in the order they were posted.
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(job), Qt::QueuedConnection);
  });
}

}  // namespace tessra::platform
