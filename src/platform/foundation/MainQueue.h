#pragma once

#include <functional>

// The main thread's queue: work handed in from any thread runs later on the main thread's event
// loop, in the order it was handed in.
namespace MainQueue {

void async(std::function<void()> work);
// Runs the work on the main thread after the delay (milliseconds).
void asyncAfter(int delayMs, std::function<void()> work);
bool isMainThread();
// Runs the work now when called on the main thread, else hands it to the main queue.
void runOrAsync(std::function<void()> work);

}  // namespace MainQueue
