#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "frameworks/business/BusinessFacade.h"

// A request's handle. Once cancel() has returned, the request's completion neither runs nor is
// still running: a completion under way on another thread is waited for. Cancelling from inside
// the completion itself only marks the request.
class RequestCancelable final : public Cancelable {
public:
    void cancel() override;
    bool isCancelled() const override { return cancelled_.load(); }

    // Runs `completion` unless the request was cancelled; answers whether it ran.
    bool complete(const std::function<void()>& completion);

private:
    std::mutex mutex_;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::thread::id> completingThread_{};
};
