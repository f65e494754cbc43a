#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads, made once and kept, that run tasks handed to them. Starting threads per
// batch of work costs more than the work when the items are small.
class WorkerPool {
public:
    // At least one thread.
    explicit WorkerPool(std::size_t threads);
    // Joins the threads; no `run` may be under way.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    std::size_t threadCount() const { return threads_.size(); }

    // Runs task(0) ... task(count - 1) on the pool's threads, roughly in that order, and hands each
    // index to `finished` on the calling thread as soon as its task has ended, together with what
    // the task threw (null when it returned). Returns once every task has ended, also when
    // `finished` throws (what it threw first is thrown on afterwards, and no later index is
    // handed to it). Several callers may use one pool at once.
    void run(std::size_t count, const std::function<void(std::size_t)>& task,
             const std::function<void(std::size_t, std::exception_ptr)>& finished);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};
