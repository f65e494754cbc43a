#include "server/SignInLimiter.h"

#include <algorithm>
#include <cmath>

#include "service/AccountRules.h"

namespace {

// Too many distinct names or addresses must not grow the tables without end.
constexpr std::size_t maximumTracked = 100000;

void prune(std::deque<SignInLimiter::Clock::time_point>& times, SignInLimiter::Clock::time_point since) {
    while (!times.empty() && times.front() <= since) times.pop_front();
}

QString accountKey(const QString& account) { return AccountRules::normalizedUserName(account).toCaseFolded(); }

}  // namespace

SignInLimiter::SignInLimiter() : SignInLimiter(Limits{}) {}
SignInLimiter::SignInLimiter(Limits limits) : limits_(limits) {}

int SignInLimiter::secondsUntil(Clock::time_point when, Clock::time_point now) {
    return std::max(1, int(std::ceil(std::chrono::duration<double>(when - now).count())));
}

std::optional<int> SignInLimiter::admit(const QString& account, const QString& address) {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (attempts_.size() > maximumTracked) attempts_.clear();
    auto& tries = attempts_[address];
    prune(tries, now - limits_.addressWindow);
    if (int(tries.size()) >= limits_.attemptsPerAddress) return secondsUntil(tries.front() + limits_.addressWindow, now);
    if (!account.isEmpty()) {
        auto found = failures_.find(accountKey(account));
        if (found != failures_.end()) {
            prune(found->second, now - limits_.accountWindow);
            if (int(found->second.size()) >= limits_.failuresPerAccount)
                return secondsUntil(found->second.front() + limits_.accountWindow, now);
        }
    }
    tries.push_back(now);
    return std::nullopt;
}

void SignInLimiter::failed(const QString& account) {
    std::lock_guard lock(mutex_);
    if (failures_.size() > maximumTracked) failures_.clear();
    failures_[accountKey(account)].push_back(Clock::now());
}

void SignInLimiter::succeeded(const QString& account) {
    std::lock_guard lock(mutex_);
    failures_.erase(accountKey(account));
}
