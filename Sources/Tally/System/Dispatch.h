#pragma once

#include <functional>
#include <memory>

#include "Executor.h"
#include "System/Queue.h"

namespace vorn::tally::system {

// The main queue: the installed main-thread executor (the application's event loop, or a
// test's drainable queue). Until one is installed, a private worker thread stands in for it.
std::shared_ptr<Queue> mainQueue();
// Installs the main-thread executor; null returns to the stand-in.
void setMainExecutor(std::shared_ptr<MainExecutor> executor);

// A small pool of worker threads for background work; tasks may run side by side.
std::shared_ptr<Queue> globalUtilityQueue();
// Waits until the pool has no queued or running task.
void waitForGlobalUtilityQueue();

// Runs the task on the queue after delaySeconds of the installed time source. The queue is
// held weakly: a queue that is gone by then drops the task.
void asyncAfter(const std::shared_ptr<Queue>& queue,
                double delaySeconds,
                std::function<void()> task);

// Joins the client's shared threads in order: the timer thread (pending timers are dropped),
// the utility pool (queued tasks still run), the stand-in main thread. Later use starts them
// again. Serial queues owned by objects are joined when their owners go.
void shutdownDispatch();

}  // namespace vorn::tally::system
