#include "frameworks/business/RequestCancelable.h"

void RequestCancelable::cancel() {
    if (completingThread_.load() == std::this_thread::get_id()) {
        cancelled_.store(true);
        return;
    }
    std::lock_guard lock(mutex_);
    cancelled_.store(true);
}

bool RequestCancelable::complete(const std::function<void()>& completion) {
    std::lock_guard lock(mutex_);
    if (cancelled_.load()) return false;
    completingThread_.store(std::this_thread::get_id());
    if (completion) completion();
    completingThread_.store(std::thread::id{});
    return true;
}
