#pragma once

#include <QString>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

// Bounds how fast passwords can be tried: failed sign-ins per account (someone guessing one
// user's password from many places) and attempts per address (one place trying many names).
class SignInLimiter {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        int failuresPerAccount = 5;
        std::chrono::seconds accountWindow{300};
        int attemptsPerAddress = 20;
        std::chrono::seconds addressWindow{60};
    };

    SignInLimiter();
    explicit SignInLimiter(Limits limits);

    // Counts an attempt from `address` for `account` (empty when none is named): none when it may
    // go ahead, else the seconds to wait.
    std::optional<int> admit(const QString& account, const QString& address);
    void failed(const QString& account);
    void succeeded(const QString& account);

private:
    static int secondsUntil(Clock::time_point when, Clock::time_point now);

    const Limits limits_;
    std::mutex mutex_;
    std::map<QString, std::deque<Clock::time_point>> failures_;
    std::map<QString, std::deque<Clock::time_point>> attempts_;
};
