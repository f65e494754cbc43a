#include "frameworks/sync/WorkerPool.h"

#include <algorithm>
#include <utility>

WorkerPool::WorkerPool(std::size_t threads) {
    threads = std::max<std::size_t>(threads, 1);
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();  // never throws: `run` wraps every task
    }
}

void WorkerPool::run(std::size_t count, const std::function<void(std::size_t)>& task,
                     const std::function<void(std::size_t, std::exception_ptr)>& finished) {
    if (count == 0) return;
    // Lives on this frame: nothing returns before every task has reported in.
    struct Results {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<std::pair<std::size_t, std::exception_ptr>> ended;
    } results;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < count; ++i) {
            queue_.emplace_back([&task, &results, i] {
                std::exception_ptr thrown;
                try {
                    task(i);
                } catch (...) {
                    thrown = std::current_exception();
                }
                // Notified under the lock, so that the caller cannot have left (and taken
                // `results` with it) before this thread is done with it.
                std::lock_guard lock(results.mutex);
                results.ended.emplace_back(i, std::move(thrown));
                results.arrived.notify_one();
            });
        }
    }
    ready_.notify_all();

    std::exception_ptr callerFailure;
    for (std::size_t handed = 0; handed < count;) {
        std::deque<std::pair<std::size_t, std::exception_ptr>> ended;
        {
            std::unique_lock lock(results.mutex);
            results.arrived.wait(lock, [&] { return !results.ended.empty(); });
            ended.swap(results.ended);
        }
        for (auto& [index, thrown] : ended) {
            ++handed;
            if (callerFailure) continue;
            try {
                finished(index, std::move(thrown));
            } catch (...) {
                callerFailure = std::current_exception();
            }
        }
    }
    if (callerFailure) std::rethrow_exception(callerFailure);
}
