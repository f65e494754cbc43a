#pragma once

#include <atomic>
#include <functional>

// A piece of work that can be cancelled before it runs: hand it to a queue with a delay and cancel
// it when it is no longer wanted. Cancelling does not interrupt work already running; long work
// may look at isCancelled() itself.
class WorkItem {
public:
    explicit WorkItem(std::function<void()> block) : block_(std::move(block)) {}
    WorkItem(const WorkItem&) = delete;
    WorkItem& operator=(const WorkItem&) = delete;

    // Runs the work on the calling thread unless it was cancelled. Answers whether it ran.
    bool perform() {
        if (cancelled_.load()) return false;
        if (block_) block_();
        performCount_.fetch_add(1);
        return true;
    }

    void cancel() { cancelled_.store(true); }
    bool isCancelled() const { return cancelled_.load(); }
    // How many times perform() ran the work.
    int performCount() const { return performCount_.load(); }

private:
    std::function<void()> block_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> performCount_{0};
};
