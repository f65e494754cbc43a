#pragma once

#include <mutex>
#include <type_traits>
#include <utility>

// A value guarded by its own mutex. Every member is one locked step, so a check followed by a change
// (testAndSet, exchange, mutate) cannot interleave with another thread's.
template <typename T>
class ThreadSafe {
public:
    ThreadSafe() = default;
    explicit ThreadSafe(T initial) : value_(std::move(initial)) {}
    ThreadSafe(const ThreadSafe&) = delete;
    ThreadSafe& operator=(const ThreadSafe&) = delete;

    T value() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

    void set(T newValue) {
        std::lock_guard lock(mutex_);
        value_ = std::move(newValue);
    }

    // Runs `fn` with the value while holding the lock and answers what `fn` answers. `fn` must not
    // call back into this box.
    template <typename F>
    auto mutate(F&& fn) -> std::invoke_result_t<F, T&> {
        std::lock_guard lock(mutex_);
        return std::forward<F>(fn)(value_);
    }

    template <typename F>
    auto read(F&& fn) const -> std::invoke_result_t<F, const T&> {
        std::lock_guard lock(mutex_);
        return std::forward<F>(fn)(static_cast<const T&>(value_));
    }

    // Sets `desired` only when the value equals `expected`; answers whether it did. Of several
    // threads racing to set the same flag, exactly one wins.
    bool testAndSet(const T& expected, T desired) {
        std::lock_guard lock(mutex_);
        if (!(value_ == expected)) return false;
        value_ = std::move(desired);
        return true;
    }

    // Stores `desired` and answers the previous value.
    T exchange(T desired) {
        std::lock_guard lock(mutex_);
        T previous = std::move(value_);
        value_ = std::move(desired);
        return previous;
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};
