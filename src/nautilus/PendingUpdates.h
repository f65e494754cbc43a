#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

// The items Nautilus was told "in progress" for: each waits for its badge until a deadline, may be
// cancelled by Nautilus, and is asked of the application together with the others asked in the
// same turn of the main loop. Every update ends exactly once: answered, expired, cancelled or
// dropped; an update that never ends leaves Nautilus waiting, one that ends twice crashes it.
// An item whose wait timed out is asked again a little later, a few times, so that an answer lost
// to a busy application does not leave it without emblem until the next change.
class PendingUpdates {
public:
    using Clock = std::chrono::steady_clock;
    using Id = std::uint64_t;  // never 0, never reused

    explicit PendingUpdates(std::chrono::milliseconds timeout, std::chrono::milliseconds retryDelay = std::chrono::seconds(3),
                            int retries = 3)
        : timeout_(timeout), retryDelay_(retryDelay), retries_(retries) {}

    Id add(const std::string& path, Clock::time_point now);
    // The paths to ask the application for, each once, in the order first asked; none that is
    // already asked and still awaited, none whose updates were all cancelled meanwhile.
    std::vector<std::string> takeBatch();
    // The updates the badge of `path` ends; its item needs asking again no more.
    std::vector<Id> resolve(const std::string& path);
    // False when the update has already ended.
    bool cancel(Id id);
    // The updates whose deadline has come.
    std::vector<Id> expire(Clock::time_point now);
    // The items timed out a while ago, not asked again since, to be redrawn so that Nautilus asks.
    std::vector<std::string> dueRetries(Clock::time_point now);
    // Every update still waiting: nobody is left to answer them.
    std::vector<Id> takeAll();
    // Nothing waits and no item is to be asked again.
    bool idle() const { return entries_.empty() && due_.empty(); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string path;
        Clock::time_point deadline;
    };
    void forget(Id id, const std::string& path);

    std::chrono::milliseconds timeout_;
    std::chrono::milliseconds retryDelay_;
    int retries_;
    Id nextId_ = 1;
    std::map<Id, Entry> entries_;
    std::unordered_map<std::string, std::vector<Id>> byPath_;
    std::vector<std::string> batch_;
    std::unordered_map<std::string, int> timedOut_;  // times each unanswered item timed out
    std::map<std::string, Clock::time_point> due_;
};
