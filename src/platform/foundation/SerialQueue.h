#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/foundation/WorkItem.h"

// A named queue that runs the work handed to it one piece at a time, in the order it was handed
// in, on a thread of its own. Work with a delay joins the queue when its time has come.
//
// Destroying the queue drains it: every piece already handed in (and whatever those pieces hand
// in while they run) still runs; delayed work whose time has not come is dropped. Handing work in
// from another thread while the queue is being destroyed is a programming error.
class SerialQueue {
public:
    explicit SerialQueue(QString label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString label() const;

    void async(std::function<void()> work);
    void async(std::shared_ptr<WorkItem> item);
    void asyncAfter(int delayMs, std::function<void()> work);
    void asyncAfter(int delayMs, std::shared_ptr<WorkItem> item);

    // Runs the work on the queue and waits for it; answers its result and rethrows what it
    // throws. Called from the queue's own work it runs at once instead of waiting for itself
    // (which could never finish).
    template <typename F>
    auto sync(F&& fn) -> std::invoke_result_t<F> {
        using R = std::invoke_result_t<F>;
        if (isCurrent()) return std::forward<F>(fn)();
        std::exception_ptr error;
        if constexpr (std::is_void_v<R>) {
            syncImpl([&] {
                try { fn(); } catch (...) { error = std::current_exception(); }
            });
            if (error) std::rethrow_exception(error);
        } else {
            std::optional<R> result;
            syncImpl([&] {
                try { result.emplace(fn()); } catch (...) { error = std::current_exception(); }
            });
            if (error) std::rethrow_exception(error);
            return std::move(*result);
        }
    }

    // Whether the calling code runs on this queue.
    bool isCurrent() const;
    // The queue the calling code runs on, if any.
    static SerialQueue* current();

    struct State;

private:

    void syncImpl(const std::function<void()>& work);
    static void loop(const std::shared_ptr<State>& state);

    // Shared with the thread, so that a queue destroyed by its own work does not pull the
    // ground from under the piece still running.
    std::shared_ptr<State> state_;
    std::thread thread_;
};
