#pragma once

#include <memory>

#include "platform/foundation/MainQueue.h"
#include "platform/foundation/WorkItem.h"

// The main queue with cancellable work: the item is kept until its turn comes and then runs only
// when nobody has cancelled it in the meantime.
namespace MainQueue {

inline void async(std::shared_ptr<WorkItem> item) {
    if (!item) return;
    async([item = std::move(item)] { item->perform(); });
}

inline void asyncAfter(int delayMs, std::shared_ptr<WorkItem> item) {
    if (!item) return;
    asyncAfter(delayMs, [item = std::move(item)] { item->perform(); });
}

}  // namespace MainQueue
